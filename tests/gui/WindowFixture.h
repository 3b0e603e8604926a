#pragma once

#include "window/MainWindow.h"
#include "support/HostileText.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qvtest {

// A main window on a private registry and a folder of its own, its messages recorded.
class WindowFixture : public ::testing::Test {
protected:
    std::unique_ptr<qv::TfrmMain> open(QStringList arguments, QRect screen = QRect(0, 0, 1280, 1024), bool show = true)
    {
        qv::TfrmMain::Setup setup;
        setup.arguments = std::move(arguments);
        setup.messages = &messages;
        setup.screen = screen;
        setup.registryPath = registry.path() + "registry.db";
        auto w = std::make_unique<qv::TfrmMain>(setup);
        if (show)
            w->show();
        QApplication::processEvents();
        return w;
    }

    std::unique_ptr<qv::TfrmMain> openOnFolder() { return open({QString::fromStdString(dir.path())}); }

    // Types the text, clicks Search and lets the window run until the search has ended.
    static void search(qv::TfrmMain& w, const QString& text)
    {
        w.cboSearch->setCurrentText(text);
        w.cmdSearch->click();
        waitForRunEnd(w);
    }

    // Lets the window run until the selected row's listing has filled the match list.
    static void waitForListing(qv::TfrmMain& w)
    {
        for (int i = 0; i < 60000 && w.listing(); ++i)
            QTest::qWait(1);
        EXPECT_FALSE(w.listing()) << "the listing did not end";
    }

    // A window whose run finds a first file at once and then stays busy a good while with a
    // second one the automaton gives up on.
    std::unique_ptr<qv::TfrmMain> startSlowRun()
    {
        dir.write("a-first.txt", kHostileMatch + "\n");
        dir.write("slow.txt", hostileLines(std::size_t{32} << 20));
        auto w = openOnFolder();
        w->cboSearch->setCurrentText(QString::fromStdString(kHostilePattern));
        w->cmdSearch->click();
        return w;
    }

    static void waitForRunEnd(qv::TfrmMain& w)
    {
        QApplication::processEvents();
        for (int i = 0; i < 60000 && w.searching(); ++i)
            QTest::qWait(1);
        EXPECT_FALSE(w.searching()) << "the search did not end";
    }

    // Runs `act` on the modal dialog of type T once the window has opened it (with `open`).
    template <class T> static void withDialog(const std::function<void()>& open, const std::function<void(T&)>& act)
    {
        bool acted = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
            EXPECT_NE(d, nullptr);
            if (d == nullptr)
                return;
            acted = true;
            act(*d);
            if (d->isVisible())
                d->reject();
        });
        open();
        EXPECT_TRUE(acted);
    }

    static std::vector<std::string> names(const qv::TfrmMain& w)
    {
        std::vector<std::string> n;
        for (const auto& r : w.files1.rows())
            n.push_back(r.name);
        return n;
    }

    TempDir dir;
    TempDir registry;
    RecordingMessages messages;
};

} // namespace qvtest
