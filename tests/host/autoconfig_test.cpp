// The plain work file of tarnwick AUTO: what counts as a step, what is
// skipped and reported.
#include "autoconfig.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(AutoConfig, StepsDirectivesAndSkippedLines)
{
    AutoConfig c = parseAutoConfig(
        "# unattended work\r\n"
        "\r\n"
        "   ; also a comment\n"
        "every 600\n"
        "import-mail C:\\in C:\\work gate office 5\r\n"
        "\tdial-params \"Office Line\"\n"
        "pause 2\n"
        "pause\n"
        "pause 0\n"
        "every 5x\n"
        "quit now\n"
        "find C:\\in \"*.x\n"
        "quit");
    ASSERT_EQ(c.steps.size(), 4u);
    EXPECT_EQ(c.steps[0].words, (Words{"import-mail", "C:\\in", "C:\\work", "gate", "office", "5"}));
    EXPECT_EQ(c.steps[0].line, 5);
    EXPECT_EQ(c.steps[1].words, (Words{"dial-params", "Office Line"}));
    EXPECT_EQ(c.steps[2].words, (Words{"pause", "2"}));
    EXPECT_EQ(c.steps[3].words, (Words{"quit"}));
    EXPECT_EQ(c.steps[3].line, 13);
    EXPECT_EQ(c.everySeconds, 600u);  // the bad "every 5x" leaves it
    ASSERT_EQ(c.errors.size(), 5u);
    EXPECT_EQ(c.errors[0].rfind("line 8: ", 0), 0u);
    EXPECT_EQ(c.errors[1].rfind("line 9: ", 0), 0u);
    EXPECT_EQ(c.errors[2].rfind("line 10: ", 0), 0u);
    EXPECT_EQ(c.errors[3].rfind("line 11: ", 0), 0u);
    EXPECT_EQ(c.errors[4], "line 12: unclosed quote");
}

TEST(AutoConfig, WordSplitting)
{
    struct Case {
        const char* line;
        bool ok;
        Words words;
    } cases[] = {
        {"a b  c", true, {"a", "b", "c"}},
        {"\t a\t", true, {"a"}},
        {"", true, {}},
        {"x \"C:\\Program Files\\in\" y", true, {"x", "C:\\Program Files\\in", "y"}},
        {"pre\"fix suf\"fix", true, {"prefix suffix"}},
        {"\"\"", true, {""}},
        {"a \"b", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Words w;
        std::string error;
        EXPECT_EQ(splitWords(c.line, w, error), c.ok);
        EXPECT_EQ(w, c.words);
    }
}

TEST(AutoConfig, EmptyFileMeansNoWorkAndNoErrors)
{
    for (const char* text : {"", "\n\n", "# only\n; comments\n"}) {
        AutoConfig c = parseAutoConfig(text);
        EXPECT_TRUE(c.steps.empty());
        EXPECT_TRUE(c.errors.empty());
        EXPECT_EQ(c.everySeconds, 0u);
    }
}

}  // namespace
