// qvsearch's man page and bash completion: the man page renders without a warning, and both know
// exactly the options that qvsearch --help lists.
#include "support/Process.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kManPage = QV_RESOURCES "/qvsearch.1";
const std::string kCompletion = QV_RESOURCES "/qvsearch.bash-completion";

// The options that lines indented by at most `indent` begin with: their headings, not the text
// that explains them (indented further).
std::set<std::string> optionsOf(const std::string& text, std::size_t indent)
{
    static const std::regex option(R"((?:^|[\s,])(--?[A-Za-z][A-Za-z-]*))");
    std::set<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto start = line.find_first_not_of(' ');
        if (start == std::string::npos || start > indent || line[start] != '-')
            continue;
        const std::string head = line.substr(0, line.find("  ", start)); // up to the text beside it
        for (std::sregex_iterator m(head.begin(), head.end(), option), end; m != end; ++m)
            found.insert((*m)[1]);
    }
    return found;
}

std::set<std::string> helpOptions()
{
    return optionsOf(qvtest::runShell(std::string("'") + QVSEARCH_PATH + "' --help").out, 6);
}

// What the completion that bash has for qvsearch offers for the words of a command line (the
// last being the word completed), one per line.
std::string complete(const std::string& words)
{
    const std::string script = "source '" + kCompletion +
                               "' && spec=$(complete -p qvsearch) && f=${spec##*-F } && f=${f%% *} && "
                               "COMP_WORDS=(" +
                               words +
                               ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && $f; "
                               "printf '%s\\n' \"${COMPREPLY[@]}\"";
    const auto r = qvtest::runShell("bash --norc -c '" + std::regex_replace(script, std::regex("'"), "'\\''") + "' 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
}

TEST(QvsearchManPage, RendersWithoutWarnings)
{
    if (!qvtest::haveProgram("groff"))
        GTEST_SKIP() << "groff is not installed";
    const auto r = qvtest::runShell("groff -man -Tutf8 -ww -z '" + kManPage + "' 2>&1");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(QvsearchManPage, DocumentsEveryOptionAndTheExitStatus)
{
    if (!qvtest::haveProgram("groff"))
        GTEST_SKIP() << "groff is not installed";
    const std::set<std::string> help = helpOptions();
    ASSERT_TRUE(help.count("--subdirs") == 1 && help.count("-r") == 1) << "the help lists no options";
    const std::string page = qvtest::runShell("groff -man -Tascii -P-cbou '" + kManPage + "' 2>/dev/null").out;
    const auto from = page.find("\nOPTIONS\n"), to = page.find("\nOUTPUT\n");
    ASSERT_TRUE(from != std::string::npos && to != std::string::npos && from < to) << page;
    // An option's heading stands at the indent of the section's text.
    EXPECT_EQ(optionsOf(page.substr(from, to - from), 7), help);
    for (const char* part : {"\nEXIT STATUS\n", "\nENVIRONMENT\n", "QUORVANE_REGISTRY", "TMPDIR"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
}

TEST(QvsearchCompletion, OffersEveryOptionAndTheirValues)
{
    if (!qvtest::haveProgram("bash"))
        GTEST_SKIP() << "bash is not installed";
    std::set<std::string> offered;
    std::istringstream lines(complete("qvsearch -"));
    for (std::string word; std::getline(lines, word);)
        if (word != "--")
            offered.insert(word.back() == '=' ? word.substr(0, word.size() - 1) : word);
    EXPECT_EQ(offered, helpOptions());
    EXPECT_EQ(complete("qvsearch needle --sub"), "--subdirs\n");
    EXPECT_EQ(complete("qvsearch --fi"), "--files=\n");
    // bash splits "--report=f" at the "=".
    EXPECT_EQ(complete("qvsearch --report = f"), "files\n");
    EXPECT_EQ(complete("qvsearch --report ''"), "files\nall\n");
    // After "--" a word is the search text or a path, never an option.
    EXPECT_EQ(complete("qvsearch -- --sub"), "\n");
}

} // namespace
