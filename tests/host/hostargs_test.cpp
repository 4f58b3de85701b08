// What the host makes of its command lines and of header text: numbers and
// options checked whole, the log level given once, passwords masked in
// AUTO's step lines, encoded words decoded and long values cut for tables,
// transfer figures.
#include "autoconfig.h"
#include "headertext.h"
#include "options.h"
#include "transfermeter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ParseNumber, TakesOnlyWholeNumbersInRange)
{
    struct Case {
        const char* text;
        bool ok;
        long value;
    } cases[] = {
        {"25", true, 25},   {"0", false, 0},      {"65535", true, 65535}, {"65536", false, 0},
        {"x", false, 0},    {"25x", false, 0},    {"", false, 0},         {"-", false, 0},
        {" 25", false, 0},  {"+7", true, 7},      {"99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        long v = 0;
        EXPECT_EQ(parseNumber(c.text, 1, 65535, v), c.ok);
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
}

TEST(CommandLine, SplitsOptionsAndNamesWhatIsWrong)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> positional;
        std::string error;  // a part of it; "" for none
    } cases[] = {
        {{"a", "--port", "25", "b"}, {"a", "b"}, ""},
        {{"a", "--port=25"}, {"a"}, ""},
        {{"a", "--prot", "25"}, {"a", "25"}, "unknown option --prot"},
        {{"a", "--port"}, {"a"}, "--port needs a value"},
        {{"a", "--hold=1"}, {"a"}, "--hold takes no value"},
        {{"-", "-x", "--", "--port"}, {"-", "-x", "--port"}, ""},  // "-x" is no option here
    };
    for (const Case& c : cases) {
        CommandLine line(c.args, {{"--port", true}, {"--hold", false}, {"-v", false}});
        EXPECT_EQ(line.positional(), c.positional);
        if (c.error.empty()) {
            EXPECT_EQ(line.error(), "");
        } else {
            EXPECT_NE(line.error().find(c.error), std::string::npos) << line.error();
        }
    }
}

TEST(CommandLine, TheLogLevelComesFromOnePlace)
{
    struct Case {
        std::vector<std::string> args;
        std::string positional;
        bool ok;
        long level;
    } cases[] = {
        {{}, "", true, 5},          {{"-v"}, "", true, 9},     {{"-q"}, "", true, 1},
        {{"--level", "3"}, "", true, 3}, {{}, "7", true, 7},   {{}, "x", false, 0},
        {{"--level", "10"}, "", false, 0}, {{"-v"}, "7", false, 0}, {{"-v", "-q"}, "", false, 0},
    };
    for (const Case& c : cases) {
        CommandLine line(c.args, {{"--level", true}, {"-v", false}, {"-q", false}});
        long level = 0;
        EXPECT_EQ(line.level(c.positional, 5, level), c.ok) << line.error();
        if (c.ok) {
            EXPECT_EQ(level, c.level);
        } else {
            EXPECT_NE(line.error(), "");
        }
    }
}

TEST(StepForLog, MasksEveryPasswordInAnArgumentList)
{
    struct Case {
        std::vector<std::string> words;
        const char* shown;
    } cases[] = {
        {{"fetch-pop", "C:\\p", "mail", "-", "joe", "s3cret", "C:\\p\\pop.log"},
         "fetch-pop C:\\p mail - joe ***** C:\\p\\pop.log"},
        {{"fetch-pop", "C:\\p", "mail", "-", "joe", "s3cret", "C:\\p\\pop.log", "9"},
         "fetch-pop C:\\p mail - joe ***** C:\\p\\pop.log 9"},
        {{"fetch-pop", "C:\\p", "mail", "--user", "joe", "--password-env", "POPPASS", "-v"},
         "fetch-pop C:\\p mail --user joe --password-env POPPASS -v"},
        {{"fetch-pop", "C:\\p", "mail", "-", "joe", "-x", "log", "-v"},
         "fetch-pop C:\\p mail - joe ***** log -v"},
        // Not a valid form (no log), but the password is where it would be.
        {{"fetch-pop", "C:\\p", "mail", "-", "joe", "s3cret", "--level", "x"},
         "fetch-pop C:\\p mail - joe ***** --level x"},
        {{"dial", "office", "anna", "my secret", "20"}, "dial office anna ***** 20"},
        {{"dial", "office", "30"}, "dial office 30"},
        {{"soak-pop", "C:\\p", "127.0.0.1", "joe", "s3cret", "log"}, "soak-pop C:\\p 127.0.0.1 joe ***** log"},
        {{"mkdir", "C:\\a b"}, "mkdir \"C:\\a b\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stepForLog(c.words), c.shown);
}

TEST(HeaderText, DecodesEncodedWordsAndCutsWithAMarker)
{
    auto tag = [](const std::string& charset, const std::string& bytes) {
        return "[" + charset + ":" + bytes + "]";
    };
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"plain text", "plain text"},
        {"=?ISO-8859-1?Q?Caf=E9_au_lait?=", "[iso-8859-1:Caf\xE9 au lait]"},
        {"=?utf-8?B?SGVsbG8=?= world", "[utf-8:Hello] world"},
        {"=?utf-8?q?a?= =?utf-8?q?b?=", "[utf-8:a][utf-8:b]"},  // blanks between words go
        {"Re: =?utf-8?q?x?=  y", "Re: [utf-8:x]  y"},
        {"=?utf-8?X?abc?=", "=?utf-8?X?abc?="},       // unknown encoding stays
        {"=?utf-8?Q?bad=ZZ?=", "=?utf-8?Q?bad=ZZ?="},  // malformed stays
        {"=?broken", "=?broken"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeEncodedWords(c.in, tag), c.out) << c.in;
    EXPECT_EQ(cut("abcdef", 6), "abcdef");
    EXPECT_EQ(cut("abcdefg", 6), "abc...");
}

TEST(TransferMeter, ShowsBytesRateAndTimeLeft)
{
    EXPECT_EQ(formatBytes(999), "999 B");
    EXPECT_EQ(formatBytes(1536), "1.5 KB");
    EXPECT_EQ(formatBytes(5 * 1024 * 1024), "5.0 MB");
    EXPECT_EQ(transferText(1024, 4096, 1.0), "1.0 KB of 4.0 KB, 1.0 KB/s, 3 s left");
    EXPECT_EQ(transferText(2048, -1, 2.0), "2.0 KB, 1.0 KB/s");
    EXPECT_EQ(transferText(100, 400, 0.0), "100 B of 400 B");  // no rate yet
    EXPECT_EQ(formatDuration(125), "2 min 5 s");
    EXPECT_DOUBLE_EQ(secondsLeft(2, 10, 4.0), 16.0);
    EXPECT_LT(secondsLeft(0, 10, 4.0), 0);
}

}  // namespace
