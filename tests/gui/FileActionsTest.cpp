// View, Open and Edit on the selected result row.
#include "viewer/FileViewer.h"
#include "viewer/TextView.h"
#include "support/ZipBuilder.h"
#include "gui/WindowFixture.h"

#include <QTest>
#include <QTimer>

#include <optional>
#include <sys/stat.h>

namespace {

// Records what was asked and answers with `failure`, when set, as the desktop would later.
class RecordingLauncher : public qv::Launcher {
public:
    std::vector<std::string> opened;
    std::vector<QStringList> started;
    std::optional<Failure> failure;
    void open(const std::string& path, FailureHandler failed) override
    {
        opened.push_back(path);
        if (failure)
            failed(*failure);
    }
    void start(const QStringList& command, FailureHandler failed) override
    {
        started.push_back(command);
        if (failure)
            failed(*failure);
    }
};

class FileActionsTest : public qvtest::WindowFixture {
protected:
    std::unique_ptr<qv::TfrmMain> openWithLauncher()
    {
        qv::TfrmMain::Setup setup;
        setup.arguments = {QString::fromStdString(dir.path())};
        setup.messages = &messages;
        setup.screen = QRect(0, 0, 1280, 1024);
        setup.registryPath = registry.path() + "registry.db";
        setup.launcher = &launcher;
        auto w = std::make_unique<qv::TfrmMain>(setup);
        w->show();
        return w;
    }

    // Runs `action`, which opens a viewer; returns its caption and StartMatch, then closes it.
    static std::pair<QString, int> viewerOf(const std::function<void()>& action)
    {
        std::pair<QString, int> seen{{}, -99};
        QTimer::singleShot(0, [&] {
            if (auto* v = qobject_cast<qv::TfrmViewer*>(QApplication::activeModalWidget())) {
                seen = {v->windowTitle(), v->StartMatch};
                v->reject();
            }
        });
        action();
        return seen;
    }

    RecordingLauncher launcher;
};

TEST_F(FileActionsTest, ViewCaptionsForFilesAndArchiveMembers)
{
    dir.write("a.txt", "x\n");
    qvtest::makeZip(dir.path() + "arch.zip", {{"m.txt", "x"}});
    auto w = openWithLauncher();
    w->chkSearchZip->setChecked(true);
    search(*w, "x");
    ASSERT_EQ(names(*w), (std::vector<std::string>{"a.txt", "m.txt"}));
    w->lstFiles1->selectRow(0);
    auto seen = viewerOf([&] { w->View1Click(); });
    EXPECT_EQ(seen.first, QString::fromStdString("File Viewer - " + dir.path() + "a.txt"));
    EXPECT_EQ(seen.second, -1);
    EXPECT_EQ(w->state().CurrentFilePath, dir.path() + "a.txt");
    w->lstFiles1->selectRow(1);
    seen = viewerOf([&] { w->View1Click(); });
    EXPECT_EQ(seen.first, QString::fromStdString("File Viewer - m.txt (in " + dir.path() + "arch.zip)"));
    EXPECT_EQ(w->state().CurrentFilePath, w->state().TempBase + "1/arch.zip/m.txt");
    EXPECT_TRUE(messages.boxes.empty()); // View never asks
}

TEST_F(FileActionsTest, ADoubleClickOnAMatchOpensTheViewerThere)
{
    dir.write("a.txt", "no\nx one\nno\nx two\n");
    dir.write("b.bin", std::string("\x01 x x x", 8));
    auto w = openWithLauncher();
    search(*w, "x");
    w->lstFiles1->selectRow(0);
    w->ListMatches1();
    waitForListing(*w);
    w->lstLines1->selectRow(1);
    EXPECT_EQ(viewerOf([&] { w->lstLines1DblClick(); }).second, 4); // the row's line number
    w->lstFiles1->selectRow(1);
    w->ListMatches1();
    waitForListing(*w);
    w->lstLines1->selectRow(2);
    EXPECT_EQ(viewerOf([&] { w->lstLines1DblClick(); }).second, 2); // the row's position
    w->lstLines1->clearSelection();
    EXPECT_EQ(viewerOf([&] { w->lstLines1DblClick(); }).second, -99); // nothing
}

TEST_F(FileActionsTest, OpenAndEditAskFirstForArchiveMembers)
{
    qvtest::makeZip(dir.path() + "arch.zip", {{"m.txt", "x"}});
    auto w = openWithLauncher();
    w->chkSearchZip->setChecked(true);
    search(*w, "x");
    w->lstFiles1->selectRow(0);
    messages.answers = {qv::MessageAnswer::No, qv::MessageAnswer::No};
    w->Open1Click();
    w->Edit1Click();
    EXPECT_TRUE(launcher.opened.empty());
    EXPECT_TRUE(launcher.started.empty());
    ASSERT_EQ(messages.boxes.size(), 2U);
    EXPECT_EQ(messages.boxes[0].caption, "Warning");
    EXPECT_EQ(messages.boxes[0].buttons, qv::MessageButtons::YesNo);
    EXPECT_EQ(messages.boxes[0].icon, qv::BoxIcon::Warning);
    EXPECT_EQ(messages.boxes[0].text, "When opening or editing a file extracted from a Zip file,\nyou are working on a temporary copy of "
                                      "the extracted file.\nAny changes you make will NOT be saved to the original Zip file.\n"
                                      "Do you want to proceed?");
    EXPECT_EQ(w->state().CurrentFilePath, w->state().TempBase + "1/arch.zip/m.txt"); // stored although declined
    messages.answers = {qv::MessageAnswer::Yes};
    w->Open1Click();
    EXPECT_EQ(launcher.opened.size(), 1U);
}

TEST_F(FileActionsTest, EditPassesAPathWithBlanksAsOneArgument)
{
    dir.write("with blank.txt", "x\n");
    auto w = openWithLauncher();
    w->state().Preferences.Editor = "\"/opt/my editor/ed\" --new-window";
    search(*w, "x");
    w->lstFiles1->selectRow(0);
    w->Edit1Click();
    ASSERT_EQ(launcher.started.size(), 1U);
    EXPECT_EQ(launcher.started[0],
              (QStringList{"/opt/my editor/ed", "--new-window", QString::fromStdString(dir.path() + "with blank.txt")}));
}

TEST_F(FileActionsTest, OpenAndEditFailuresAreToldWithTheProgramsReason)
{
    dir.write("a.qvunknown", "x\n");
    auto w = openWithLauncher();
    launcher.failure = qv::Launcher::Failure{qv::Launcher::Failure::Kind::NoAssociation, {}};
    search(*w, "x");
    w->lstFiles1->selectRow(0);
    w->Open1Click();
    ASSERT_EQ(messages.boxes.size(), 1U);
    EXPECT_EQ(messages.boxes[0].caption, "Quorvane");
    EXPECT_EQ(messages.boxes[0].text, "Unable to open file - no associated application exists for this extension");
    EXPECT_EQ(messages.boxes[0].icon, qv::BoxIcon::None);
    launcher.failure = qv::Launcher::Failure{qv::Launcher::Failure::Kind::Failed, "xdg-open: no method available"};
    w->Open1Click();
    ASSERT_EQ(messages.boxes.size(), 2U);
    EXPECT_EQ(messages.boxes[1].text, "Unable to open file - xdg-open: no method available");
    EXPECT_EQ(messages.boxes[1].icon, qv::BoxIcon::Warning);
    launcher.failure->reason = "ed: No such file or directory";
    w->Edit1Click();
    ASSERT_EQ(messages.boxes.size(), 3U);
    EXPECT_EQ(messages.boxes[2].text, "Unable to edit file - ed: No such file or directory");
}

// The desktop's launcher with stand-ins for its programs first on the search path.
class DesktopLauncherTest : public qvtest::WindowFixture {
protected:
    void SetUp() override
    {
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin.path()) + ":" + savedPath_);
    }
    void TearDown() override { qputenv("PATH", savedPath_); }
    void program(const std::string& name, const std::string& script)
    {
        const std::string path = bin.write(name, "#!/bin/sh\n" + script + "\n");
        ::chmod(path.c_str(), 0755);
    }
    // Lets the window run until a message box has been shown (or a minute has passed).
    void waitForMessage()
    {
        for (int i = 0; i < 60000 && messages.boxes.empty(); ++i)
            QTest::qWait(1);
        ASSERT_FALSE(messages.boxes.empty()) << "no message";
    }

    qvtest::TempDir bin;
    QByteArray savedPath_;
};

TEST_F(DesktopLauncherTest, WhatTheDesktopsProgramsSayReachesTheUser)
{
    const std::string file = dir.write("a.txt", "x\n");
    auto w = openOnFolder();
    search(*w, "x");
    w->lstFiles1->selectRow(0);
    // No default application for the type.
    program("xdg-mime", "echo");
    program("xdg-open", "exit 0");
    w->Open1Click();
    waitForMessage();
    EXPECT_EQ(messages.boxes.back().text, "Unable to open file - no associated application exists for this extension");
    // An opener that fails, in its own words.
    messages.boxes.clear();
    program("xdg-mime", "echo viewer.desktop");
    program("xdg-open", "echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3");
    w->Open1Click();
    waitForMessage();
    EXPECT_EQ(messages.boxes.back().text,
              QString::fromStdString("Unable to open file - xdg-open: no method available for opening '" + file + "'"));
    // An editor that cannot be started, and one that ends at once with an error.
    messages.boxes.clear();
    w->state().Preferences.Editor = bin.path() + "no-such-editor";
    w->Edit1Click();
    waitForMessage();
    EXPECT_EQ(messages.boxes.back().text, "Unable to edit file - no-such-editor: No such file or directory");
    messages.boxes.clear();
    program("broken-editor", "echo 'broken-editor: cannot open display' >&2; exit 1");
    w->state().Preferences.Editor = "broken-editor";
    w->Edit1Click();
    waitForMessage();
    EXPECT_EQ(messages.boxes.back().text, "Unable to edit file - broken-editor: cannot open display");
}

TEST_F(FileActionsTest, NothingHappensWithoutASelectedRow)
{
    dir.write("a.txt", "x\n");
    auto w = openWithLauncher();
    search(*w, "x");
    w->lstFiles1->clearSelection();
    w->Open1Click();
    w->Edit1Click();
    EXPECT_EQ(viewerOf([&] { w->View1Click(); }).second, -99);
    EXPECT_TRUE(launcher.opened.empty());
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(w->state().CurrentFilePath, "");
}

TEST(EditorCommand, TheEditorTextIsACommandLine)
{
    EXPECT_EQ(qv::EditorCommand("gedit", "/a b/c.txt"), (QStringList{"gedit", "/a b/c.txt"}));
    EXPECT_EQ(qv::EditorCommand("\"/x y/ed\" -n", "f"), (QStringList{"/x y/ed", "-n", "f"}));
    EXPECT_TRUE(qv::EditorCommand("", "f").isEmpty());
}

} // namespace
