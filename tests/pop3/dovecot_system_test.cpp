// tarnpop.dll against a real Dovecot POP3 server (started by the CTest
// fixture pop3_dovecot on 127.0.0.1): the port comes from the registry value
// pop_out, every message file equals the server's message with CR LF line
// ends and dot-stuffing kept, the mailbox is empty afterwards, a wrong
// password deletes nothing, and a message whose file cannot be created
// leaves it and the later ones for the next session while the deletions
// before it are committed.
#include "dll.h"
#include "sessionharness.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace pop3test;
using testsupport::TestDir;
using Lines = std::vector<std::string>;

using InitPopMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*, int);
using GetPopMail = int __stdcall(const char*, const char*);

constexpr int kBase = 5000;

std::string windowsPath(const char* unixPath)
{
    std::string p = "Z:";
    for (const char* c = unixPath; *c; ++c)
        p += (*c == '/') ? '\\' : *c;
    return p;
}

std::string maildir()
{
    const char* build = std::getenv("TARN_BUILD_DIR");
    return build ? windowsPath(build) + "\\dovecot-test\\home\\joe\\Maildir" : "";
}

int mailboxSize()
{
    return static_cast<int>(testsupport::listFolder(maildir() + "\\new").size() +
                            testsupport::listFolder(maildir() + "\\cur").size());
}

// The mailbox, as a delivery agent leaves it: LF line ends.
std::vector<std::string> seed()
{
    for (const char* sub : {"\\new", "\\cur"}) {
        for (const std::string& f : testsupport::listFolder(maildir() + sub))
            DeleteFileA((maildir() + sub + "\\" + f).c_str());
    }
    std::string big;
    for (int i = 0; big.size() < 300 * 1024; ++i)
        big += (i % 40 == 0 ? "." : "") + std::to_string(i) + std::string(60, 'b') + "\n";
    std::vector<std::string> messages = {
        "From: a@example.org\nSubject: m1\n\nhello\n",
        "From: b@example.org\nSubject: m2 dots\n\n.single\n..double\n.\nlast\n",
        "From: c@example.org\nSubject: m3 long\n\n" + std::string(5000, 'L') + "\nafter\n",
        "From: d@example.org\nSubject: m4 big\n\n" + big,
        "From: e@example.org\nSubject: m5 empty body\n\n",
    };
    for (std::size_t i = 0; i < messages.size(); ++i) {
        std::string name = maildir() + "\\new\\1700000000.M" + std::to_string(i) + "P1.test";
        testsupport::writeFile(name, messages[i]);
    }
    return messages;
}

class PopOut {
public:
    explicit PopOut(int port)
    {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\tarnwick\\ports", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        std::string text = std::to_string(port);
        RegSetValueExA(key_, "pop_out", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    ~PopOut()
    {
        RegDeleteValueA(key_, "pop_out");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
};

struct Fetch {
    Pairs pairs;
    Lines log;
};

Fetch fetch(const std::string& folder, const std::string& logPath, const char* password)
{
    PopOut popOut(TARN_DOVECOT_PORT);
    testsupport::Dll dll("tarnpop.dll");
    auto init = dll.get<InitPopMail>("initPopMail");
    auto get = dll.get<GetPopMail>("getPopMail");
    EXPECT_TRUE(init && get);
    Fetch f;
    if (!init || !get)
        return f;
    ProgressWindow window;
    init(static_cast<HWND>(window.handle()), kBase, folder.c_str(), "localhost", "", logPath.c_str(),
         9);
    EXPECT_EQ(get("joe", password), -1);
    f.pairs = window.waitForEnd(kBase, 60000);
    Sleep(300);  // the worker thread leaves the library after its last pair
    f.log = logLines(logPath);
    return f;
}

TEST(Pop3Dovecot, WrongPasswordDeletesNothing)
{
    ASSERT_FALSE(maildir().empty());
    std::vector<std::string> messages = seed();
    TestDir dir;
    std::string folder = dir.subdir("in");
    Fetch f = fetch(folder, dir.file("pop.log"), "wrong");
    EXPECT_EQ(f.pairs, (Pairs{{0, 1}, {3, -1}, {0, 500}}));
    EXPECT_TRUE(testsupport::listFolder(folder).empty());
    EXPECT_EQ(mailboxSize(), static_cast<int>(messages.size()));
    EXPECT_NE(std::find(f.log.begin(), f.log.end(), "9\t-> PASS wrong"), f.log.end());
    EXPECT_EQ(f.log.back(), "8\tPOP3 Client closed.");
}

TEST(Pop3Dovecot, FetchesAndDeletesTheWholeMailbox)
{
    ASSERT_FALSE(maildir().empty());
    std::vector<std::string> messages = seed();
    const int n = static_cast<int>(messages.size());
    TestDir dir;
    std::string folder = dir.subdir("in");
    Fetch f = fetch(folder, dir.file("pop.log"), "secret");

    Pairs want = {{0, 1}, {0, 2}, {n, 4}};
    for (int i = 1; i <= n; ++i)
        want.push_back({i, 5});
    want.push_back({0, 10});
    want.push_back({0, 500});
    EXPECT_EQ(f.pairs, want);

    // Files by number; the server numbers the messages in its own order, so
    // compare the sets of contents.
    std::vector<std::string> got, expected;
    for (int i = 1; i <= n; ++i)
        got.push_back(testsupport::readFile(folder + "\\" + std::to_string(i) + ".msg"));
    for (const std::string& m : messages)
        expected.push_back(dotStuff(crlf(m)));
    EXPECT_EQ(testsupport::listFolder(folder).size(), messages.size());
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].size(), expected[i].size()) << i;
        EXPECT_TRUE(got[i] == expected[i]) << "message " << i << " differs";
    }
    EXPECT_EQ(mailboxSize(), 0);
    EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "9\tSession Complete"), 1);
    EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "5\tPop3 Client contacting host localhost"), 1);

    // A second session finds the mailbox empty.
    TestDir again;
    Fetch g = fetch(again.subdir("in"), again.file("pop.log"), "secret");
    EXPECT_EQ(g.pairs, (Pairs{{0, 1}, {0, 2}, {0, 4}, {0, 10}, {0, 500}}));
}

// Message 3's file cannot be created (a folder of that name is in the
// way): messages 1 and 2 are stored and, by the QUIT that follows, deleted
// on the server; the mailbox then holds messages 3 and later only. A
// second session (into another folder, as a host that moved the first
// session's files away) fetches exactly those, and the first session's
// files stay as they were.
TEST(Pop3Dovecot, FileInTheWayKeepsThatMessageAndTheLaterOnes)
{
    ASSERT_FALSE(maildir().empty());
    std::vector<std::string> messages = seed();
    const int n = static_cast<int>(messages.size());
    TestDir dir;
    std::string folder = dir.subdir("in");
    ASSERT_TRUE(CreateDirectoryA((folder + "\\3.msg").c_str(), nullptr));
    Fetch f = fetch(folder, dir.file("pop.log"), "secret");
    EXPECT_EQ(f.pairs, (Pairs{{0, 1}, {0, 2}, {n, 4}, {1, 5}, {2, 5}, {3, 5}, {0, 500}}));
    EXPECT_EQ(testsupport::listFolder(folder), (Lines{"1.msg", "2.msg", "3.msg"}));
    EXPECT_EQ(mailboxSize(), n - 2);
    ASSERT_GE(f.log.size(), 4u);
    // The rest of message 3 read and dropped, then QUIT and its reply.
    EXPECT_EQ(f.log.end()[-4],
              "1\tPOP3 Client could not create " + folder + "\\3.msg, message 3 left on the server");
    EXPECT_EQ(f.log.end()[-3], "9\t-> QUIT");
    EXPECT_EQ(f.log.end()[-2].compare(0, 8, "9\t<- +OK"), 0) << f.log.end()[-2];
    EXPECT_EQ(f.log.end()[-1], "8\tPOP3 Client closed.");
    EXPECT_EQ(std::count(f.log.begin(), f.log.end(), "9\tSession Complete"), 0);
    std::vector<std::string> first = {testsupport::readFile(folder + "\\1.msg"),
                                      testsupport::readFile(folder + "\\2.msg")};

    TestDir again;
    std::string second = again.subdir("in");
    Fetch g = fetch(second, again.file("pop.log"), "secret");
    EXPECT_EQ(g.pairs, (Pairs{{0, 1}, {0, 2}, {n - 2, 4}, {1, 5}, {2, 5}, {3, 5}, {0, 10}, {0, 500}}));
    EXPECT_EQ(mailboxSize(), 0);
    EXPECT_EQ(testsupport::listFolder(folder), (Lines{"1.msg", "2.msg", "3.msg"}));
    EXPECT_TRUE(testsupport::readFile(folder + "\\1.msg") == first[0]);
    EXPECT_TRUE(testsupport::readFile(folder + "\\2.msg") == first[1]);

    // Between them the two sessions stored every message once.
    std::vector<std::string> got = first, expected;
    for (int i = 1; i <= n - 2; ++i)
        got.push_back(testsupport::readFile(second + "\\" + std::to_string(i) + ".msg"));
    EXPECT_EQ(testsupport::listFolder(second).size(), static_cast<std::size_t>(n - 2));
    for (const std::string& m : messages)
        expected.push_back(dotStuff(crlf(m)));
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(got == expected);
}

}  // namespace
