#pragma once

#include "window/MainWindow.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace qvtest {

// A main window on a private registry and a folder of its own, its messages recorded.
class WindowFixture : public ::testing::Test {
protected:
    std::unique_ptr<qv::TfrmMain> open(QStringList arguments, QRect screen = QRect(0, 0, 1280, 1024))
    {
        qv::TfrmMain::Setup setup;
        setup.arguments = std::move(arguments);
        setup.messages = &messages;
        setup.screen = screen;
        setup.registryPath = registry.path() + "registry.db";
        auto w = std::make_unique<qv::TfrmMain>(setup);
        w->show();
        QApplication::processEvents();
        return w;
    }

    std::unique_ptr<qv::TfrmMain> openOnFolder() { return open({QString::fromStdString(dir.path())}); }

    static void search(qv::TfrmMain& w, const QString& text)
    {
        w.cboSearch->setCurrentText(text);
        w.cmdSearch->click();
        QApplication::processEvents();
    }

    static std::vector<std::string> names(const qv::TfrmMain& w)
    {
        std::vector<std::string> n;
        for (const auto& r : w.files1.rows())
            n.push_back(r.FileName);
        return n;
    }

    TempDir dir;
    TempDir registry;
    RecordingMessages messages;
};

} // namespace qvtest
