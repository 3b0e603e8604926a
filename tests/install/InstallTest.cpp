// cmake --install of this build into prefixes of the test's own: every file lands where desktops,
// man and bash look for it, and the installed programs find theirs.
#include "support/Process.h"
#include "support/TempDir.h"
#include "window/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

// A shell command's standard output and error.
qvtest::ShellRun run(const std::string& command)
{
    return qvtest::runShell(command + " 2>&1");
}

std::string quote(const std::string& s)
{
    return qvtest::shellQuote(s);
}

// A value of the desktop entry's main group.
std::string desktopValue(const std::string& file, const std::string& key)
{
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

QApplication& application()
{
    static int argc = 1;
    static char name[] = "install_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// A prefix with this build installed into it; its path has a blank and a quote, as any prefix may.
class Installed : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix = dir.path() + "my 'prefix";
        const qvtest::ShellRun r = run(quote(QV_CMAKE) + " --install " + quote(QV_BUILD_DIR) + " --prefix " + quote(prefix));
        ASSERT_EQ(r.status, 0) << r.out;
    }

    [[nodiscard]] std::string at(const std::string& relative) const { return prefix + "/" + relative; }

    qvtest::TempDir dir;
    std::string prefix;
};

TEST_F(Installed, EveryFileWhereItIsLookedFor)
{
    for (const char* program : {"bin/quorvane", "bin/qvsearch"}) {
        struct stat st { };
        ASSERT_EQ(::stat(at(program).c_str(), &st), 0) << program;
        EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & S_IXOTH) != 0) << program;
    }
    for (const char* file :
         {"lib/quorvane/qvsearch-export.so", "share/quorvane/quorvane-help.html", "share/applications/quorvane.desktop",
          "share/icons/hicolor/scalable/apps/quorvane.svg", "share/man/man1/qvsearch.1", "share/bash-completion/completions/qvsearch"})
        EXPECT_TRUE(fs::is_regular_file(at(file))) << file;
    // Only programs in bin.
    std::set<std::string> inBin;
    for (const auto& e : fs::directory_iterator(at("bin")))
        inBin.insert(e.path().filename().string());
    EXPECT_EQ(inBin, (std::set<std::string>{"quorvane", "qvsearch"}));
}

TEST_F(Installed, TheHelpWindowFindsItsFileThereAndInTheBuildTree)
{
    application();
    const QString bin = QString::fromStdString(at("bin"));
    const QString installed = qv::HelpFilePath(bin);
    EXPECT_EQ(installed, QDir::cleanPath(QString::fromStdString(at("share/quorvane/quorvane-help.html"))));
    EXPECT_TRUE(qv::HelpWindow(installed).loaded());
    // The build tree keeps it beside the program.
    const QString built = qv::HelpFilePath(QStringLiteral(QV_QUORVANE_DIR));
    EXPECT_EQ(built, QDir::cleanPath(QStringLiteral(QV_QUORVANE_DIR "/quorvane-help.html")));
    EXPECT_TRUE(qv::HelpWindow(built).loaded());
    // Missing from both: the window names the place it belongs in.
    fs::remove(at("share/quorvane/quorvane-help.html"));
    EXPECT_EQ(qv::HelpFilePath(bin), installed);
    EXPECT_FALSE(qv::HelpWindow(qv::HelpFilePath(bin)).loaded());
}

TEST_F(Installed, TheDesktopEntryNamesTheInstalledIconAndProgram)
{
    const std::string entry = at("share/applications/quorvane.desktop");
    EXPECT_EQ(qvtest::readFile(entry), qvtest::readFile(QV_RESOURCES "/quorvane.desktop"));
    const std::string icon = desktopValue(entry, "Icon");
    ASSERT_FALSE(icon.empty());
    EXPECT_EQ(icon.find('/'), std::string::npos) << "a theme icon's name, not a path";
    const std::string svg = qvtest::readFile(at("share/icons/hicolor/scalable/apps/" + icon + ".svg"));
    EXPECT_EQ(svg.rfind("<svg", 0), 0U) << icon;
    const std::string exec = desktopValue(entry, "Exec");
    EXPECT_TRUE(fs::is_regular_file(at("bin/" + exec.substr(0, exec.find(' '))))) << exec;
}

TEST(DesktopEntry, PassesDesktopFileValidate)
{
    if (!qvtest::haveProgram("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/install-deps installs it)";
    const qvtest::ShellRun r = run("desktop-file-validate " + quote(QV_RESOURCES "/quorvane.desktop"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, ""); // no warnings or hints either
}

TEST_F(Installed, QvsearchFindsItsExportAndManAndBashFindTheirFiles)
{
    qvtest::TempDir data;
    data.write("a.txt", "needle\n");
    const qvtest::ShellRun search = run("QUORVANE_REGISTRY=" + quote(data.path() + "registry.db") + " " + quote(at("bin/qvsearch")) +
                                        " needle " + quote(data.path()) + " --export=" + quote(data.path() + "report.txt") + " >/dev/null");
    EXPECT_EQ(search.status, 0) << search.out;
    EXPECT_NE(qvtest::readFile(data.path() + "report.txt").find("a.txt"), std::string::npos);
    if (qvtest::haveProgram("man")) {
        const qvtest::ShellRun man = run("MANPATH=" + quote(at("share/man")) + " man -w qvsearch");
        EXPECT_EQ(man.out, at("share/man/man1/qvsearch.1") + "\n");
    }
    const qvtest::ShellRun bash =
        run("bash --norc -c " + quote("source " + quote(at("share/bash-completion/completions/qvsearch")) + " && complete -p qvsearch"));
    EXPECT_EQ(bash.status, 0) << bash.out;
    EXPECT_NE(bash.out.find(" qvsearch\n"), std::string::npos) << bash.out;
}

} // namespace
