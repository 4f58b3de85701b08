// Bad input at the exports of postgate.dll, called as a host calls them:
// null pointers, empty strings, strings past every width, ports and levels
// out of range, envelope and message files that are missing, empty, binary
// or oddly cut, and calls in the wrong order. Every call returns what the
// exports document, every session ends with its proper last pair (no hang:
// where the session would wait for the relay, the relay closes), the relay
// gets exactly the bytes the design gives, and the files the host gave are
// left as they were.
#include "dll.h"
#include "processes.h"
#include "scriptserver.h"
#include "smtpharness.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <random>
#include <set>

namespace {

using smtptest::line;
using smtptest::Pairs;
using testsupport::ScriptServer;
using testsupport::ScriptStep;
using Lines = std::vector<std::string>;

using InitSmtpMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*,
                                   int, int, const char*);
using ConnectToHost = int __stdcall(const char*, const char*);
using DestroyIt = void __stdcall();

struct Library {
    testsupport::Dll dll{"postgate.dll"};
    InitSmtpMail* init = dll.get<InitSmtpMail>("initSmtpMail");
    ConnectToHost* connect = dll.get<ConnectToHost>("ConnectToHost");
    DestroyIt* destroy = dll.get<DestroyIt>("DestroyIt");
};

// Where no relay listens: a privileged port nothing here serves, so that a
// port just released cannot meanwhile be taken by another program's server.
constexpr int kNoRelayPort = 1;

// A string argument that may be null.
struct Arg {
    std::optional<std::string> s;
    const char* c() const { return s ? s->c_str() : nullptr; }
    std::string text() const { return s ? *s : std::string(); }
};

// One row's calls and files, every argument sound until the row spoils it.
struct Call {
    testsupport::TestDir dir;
    bool window = true;  // the test's window; false: otherWindow
    HWND otherWindow = nullptr;
    int eventBase = 1;
    Arg folder, hostName, hostAddress, logFile, heloDomain, envelopePath, messagePath;
    int level = 9;
    std::optional<int> port;  // the relay's port unless set
    int portOffset = 0;       // added to the relay's port
    std::optional<std::string> envelope = std::string("<a@here>\r\n<b@there>\r\n");
    std::optional<std::string> message = std::string("x\r\n");
    // What the row expects besides its pairs and bytes.
    bool noLog = false;      // no log file anywhere
    std::string bad;         // "smtp.bad" in the folder; "" none there

    Call()
    {
        folder.s = dir.subdir("out");
        hostName.s = "not.used.invalid";
        hostAddress.s = "127.0.0.1";
        logFile.s = dir.file("smtp.log");
        heloDomain.s = "h";
        envelopePath.s = dir.file("env.txt");
        messagePath.s = dir.file("msg.txt");
    }
    std::string out() const { return dir.path() + "\\out"; }
    // A folder path of exactly n characters inside out(), made.
    std::string folderOf(std::size_t n) const
    {
        std::string f = out() + "\\" + std::string(n - out().size() - 1, 'd');
        CreateDirectoryA(f.c_str(), nullptr);
        return f;
    }
    // "{env}", "{msg}" and "{folder}" in a text, as this call gives them.
    std::string expand(std::string t) const
    {
        for (auto [key, value] : {std::pair<std::string, std::string>{"{env}", envelopePath.text()},
                                  {"{msg}", messagePath.text()}, {"{folder}", folder.text()}}) {
            for (std::size_t at = t.find(key); at != std::string::npos; at = t.find(key, at + value.size()))
                t.replace(at, key.size(), value);
        }
        return t;
    }
};

struct Row {
    const char* name;
    std::function<void(Call&)> spoil;
    std::vector<std::string> relay;  // the relay's side; "<close>", "<pause>"; empty: no relay
    std::string received;
    Pairs pairs;             // with the test's window
    Lines logHas;  // lines the log holds once each ({env}, {msg}, {folder} expanded)
};

const std::string kClean = "HELO h\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\nDATA\r\nx\r\n\r\n.\r\nQUIT\r\n";
const Pairs kCleanPairs = {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}};
const std::string kHead = "HELO h\r\nMAIL FROM: <a@here>\r\nRCPT TO: <b@there>\r\nDATA\r\n";

std::vector<std::string> cleanRelay()
{
    return {"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n", "C:RCPT", "250 ok\r\n",
            "C:DATA", "354 go\r\n", "C:", "C:", "C:", "250 queued\r\n", "C:QUIT", "221 bye\r\n", "<close>"};
}

std::vector<std::string> toData()
{
    return {"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "250 ok\r\n", "C:RCPT", "250 ok\r\n",
            "C:DATA", "354 go\r\n"};
}

// The relay answers HELO, waits a moment for what the client sends without
// a line end (the session would wait for the reply), and closes.
std::vector<std::string> heloThenClose()
{
    return {"220 hi\r\n", "C:HELO", "250 relay\r\n", "<pause>", "<close>"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string garbage(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// The argument one envelope read gives: at most 79 bytes, through the
// first line feed, up to the first NUL.
std::string firstRead(const std::string& bytes)
{
    std::string piece = bytes.substr(0, 79);
    std::size_t lf = piece.find('\n');
    if (lf != std::string::npos)
        piece.resize(lf + 1);
    return piece.substr(0, piece.find('\0'));
}

std::vector<ScriptStep> steps(const std::vector<std::string>& relay)
{
    std::vector<ScriptStep> out;
    for (const std::string& d : relay) {
        if (d == "<close>")
            out.push_back(testsupport::closeConnection());
        else if (d == "<pause>")
            out.push_back(testsupport::pause(300));
        else
            out.push_back(testsupport::dialogue({d}).front());
    }
    return out;
}

bool sessionOver(const std::string& log)
{
    return log.find("SMTP Client closed.\r\n") != std::string::npos ||
           log.find("connect failed") != std::string::npos;
}

void runRows(Library& lib, const std::vector<Row>& rows)
{
    smtptest::ProgressWindow window;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::set<unsigned long> before = testsupport::ownThreads();
        Call c;
        row.spoil(c);
        std::string env = c.dir.file("env.txt");
        std::string msg = c.dir.file("msg.txt");
        if (c.envelope)
            testsupport::writeFile(env, *c.envelope);
        if (c.message)
            testsupport::writeFile(msg, *c.message);
        std::optional<ScriptServer> server;
        if (!row.relay.empty())
            server.emplace(steps(row.relay));
        int port = c.port ? *c.port : (server ? server->port() : kNoRelayPort) + c.portOffset;
        HWND hwnd = c.window ? static_cast<HWND>(window.handle()) : c.otherWindow;
        EXPECT_EQ(lib.init(hwnd, c.eventBase, c.folder.c(), c.hostName.c(), c.hostAddress.c(), c.logFile.c(),
                           c.level, port, c.heloDomain.c()),
                  1);
        ASSERT_EQ(lib.connect(c.envelopePath.c(), c.messagePath.c()), 1);
        if (c.window) {
            EXPECT_EQ(window.waitForEnd(c.eventBase, 30000), row.pairs);
        } else {
            for (int i = 0; i < 500 && !sessionOver(testsupport::readFile(c.logFile.text())); ++i)
                Sleep(20);
        }
        if (server) {
            EXPECT_EQ(server->received(), row.received);
        }
        // The session's last lines are written by now. A session that does
        // not end would make every later row wait: stop here.
        ASSERT_TRUE(testsupport::threadsEnded(before)) << "the session thread is still running";

        std::string log = c.logFile.text();
        if (!c.noLog) {
            Lines lines = smtptest::logLines(log);
            for (const std::string& l : row.logHas)
                EXPECT_EQ(std::count(lines.begin(), lines.end(), c.expand(l)), 1) << c.expand(l);
        } else {
            EXPECT_FALSE(testsupport::fileExists(c.dir.file("smtp.log")));
            if (!log.empty()) {
                EXPECT_FALSE(testsupport::fileExists(log));
                EXPECT_FALSE(testsupport::fileExists(log.substr(0, 199)));  // nor cut off
            }
        }
        std::string folder = c.folder.text();
        if (!c.bad.empty()) {
            EXPECT_EQ(testsupport::readFile(folder + "\\smtp.bad"), c.bad);
        } else {
            EXPECT_FALSE(testsupport::fileExists(c.out() + "\\smtp.bad"));
            EXPECT_FALSE(testsupport::fileExists("\\smtp.bad"));
            if (folder.size() >= 200) {
                EXPECT_FALSE(testsupport::fileExists(folder.substr(0, 199) + "\\smtp.bad"));  // nor cut off
            }
        }
        // Nothing lost: the host's files as they were.
        if (c.envelope) {
            EXPECT_EQ(testsupport::readFile(env), *c.envelope);
        }
        if (c.message) {
            EXPECT_EQ(testsupport::readFile(msg), *c.message);
        }
    }
}

TEST(PostgateBadInput, CallsInTheWrongOrder)
{
    testsupport::TestDir dir;
    std::string env = dir.file("env.txt");
    testsupport::writeFile(env, "<a@here>\r\n<b@there>\r\n");
    Library lib;
    ASSERT_NE(lib.destroy, nullptr);
    // Before any init: DestroyIt does nothing, ConnectToHost refuses whatever
    // its arguments, and nothing is written.
    lib.destroy();
    lib.destroy();
    EXPECT_EQ(lib.connect(env.c_str(), env.c_str()), -1);
    EXPECT_EQ(lib.connect(nullptr, nullptr), -1);
    EXPECT_EQ(lib.connect("", std::string(5000, 'm').c_str()), -1);
    EXPECT_EQ(testsupport::listFolder(dir.path()), (Lines{"env.txt"}));
    EXPECT_EQ(testsupport::readFile(env), "<a@here>\r\n<b@there>\r\n");
    // DestroyIt twice after a session, then another session as usual.
    Row clean = {"a session", [](Call&) {}, cleanRelay(), kClean, kCleanPairs,
                 {"2\tStarting", "9\tSession Complete"}};
    runRows(lib, {clean});
    lib.destroy();
    lib.destroy();
    clean.name = "a session after DestroyIt twice";
    runRows(lib, {clean});
}

TEST(PostgateBadInput, Table)
{
    Library lib;
    ASSERT_NE(lib.init, nullptr);
    const std::string huge(5000, 'h');
    const std::string bin = garbage(300, 7);
    std::string bytes;
    for (int i = 0; i < 1024; ++i)
        bytes += static_cast<char>(i);
    const std::string longAddress = "<" + std::string(150, 'r') + "@there>";
    const std::vector<std::string> heloOnly = {"220 hi\r\n", "C:HELO", "250 relay\r\n"};
    const std::vector<std::string> senderRefused = {"220 hi\r\n", "C:HELO", "250 relay\r\n", "C:MAIL", "550 no\r\n"};
    const std::string mailOnly = "HELO h\r\nMAIL FROM: <a@here>\r\n";
    const Pairs greeted = {{0, 1}, {50, 1}, {0, 500}};
    const Pairs refused = {{0, 1}, {50, 1}, {51, -1}, {0, 500}};
    const Pairs allSent = {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 500}};
    const Pairs noConnect = {{100, -1}};
    runRows(lib, {
        // ---- Null pointers and empty strings.
        {"null host name and HELO domain: HELO without a name",
         [](Call& c) {
             c.hostName.s.reset();
             c.heloDomain.s.reset();
         },
         {"220 hi\r\n", "C:HELO", "<close>"}, "HELO \r\n", greeted, {"9\t-> HELO "}},
        {"null log file: no log", [](Call& c) {
             c.logFile.s.reset();
             c.noLog = true;
         },
         cleanRelay(), kClean, kCleanPairs, {}},
        {"null envelope and message paths", [](Call& c) {
             c.envelopePath.s.reset();
             c.messagePath.s.reset();
         },
         heloOnly, "HELO h\r\n", greeted, {"1\tUnable to open envelope file "}},
        {"empty host name and address: the lookup or the connect fails", [](Call& c) {
             c.hostName.s = "";
             c.hostAddress.s = "";
         },
         {}, "", noConnect, {"5\tSMTP Client contacting host "}},
        // The refusal is not written to the root of the drive.
        {"null folder: refusals not recorded", [](Call& c) { c.folder.s.reset(); }, senderRefused, mailOnly,
         refused, {"1\tNo folder given, refusals will not be recorded", "1\tError - Unable to open  \\smtp.bad"}},
        {"empty folder: refusals not recorded", [](Call& c) { c.folder.s = ""; }, senderRefused, mailOnly,
         refused, {"1\tNo folder given, refusals will not be recorded", "1\tError - Unable to open  \\smtp.bad"}},

        // ---- Strings at and past their widths.
        {"folder of 199 characters: the refusal recorded there", [](Call& c) {
             c.folder.s = c.folderOf(199);
             c.bad = "I said: MAIL FROM: <a@here>\r\n Mailserver said: 550 NO\r\n";
         },
         senderRefused, mailOnly, refused, {}},
        {"folder of 200 characters: nothing in a cut-off folder", [](Call& c) {
             c.folder.s = c.folderOf(199) + "d";
         },
         senderRefused, mailOnly, refused,
         {"1\tFolder name too long, refusals will not be recorded", "1\tError - Unable to open  {folder}\\smtp.bad"}},
        {"host name of 5000 characters: the lookup fails", [&](Call& c) {
             c.hostName.s = huge;
             c.hostAddress.s = "";
         },
         {}, "", noConnect, {"5\tSMTP Client contacting host " + huge}},
        {"address of 5000 characters", [&](Call& c) { c.hostAddress.s = huge; }, {}, "", noConnect,
         {"5\tSMTP Client contacting host at " + huge}},
        {"address that does not convert", [](Call& c) { c.hostAddress.s = "999.1.2.3"; }, {}, "", noConnect,
         {"5\tSMTP Client contacting host at 999.1.2.3"}},
        {"HELO domain of 5000 characters, sent whole", [&](Call& c) { c.heloDomain.s = huge; },
         {"220 hi\r\n", "C:HELO", "<close>"}, "HELO " + huge + "\r\n", greeted, {"9\t-> HELO " + huge}},
        {"log file of 200 characters: no log, none cut off", [](Call& c) {
             c.logFile.s = c.dir.path() + "\\" + std::string(200 - c.dir.path().size() - 1, 'l');
             c.noLog = true;
         },
         cleanRelay(), kClean, kCleanPairs, {}},
        {"envelope path of 5000 characters", [&](Call& c) { c.envelopePath.s = huge; }, heloOnly, "HELO h\r\n",
         greeted, {"1\tUnable to open envelope file {env}"}},
        {"message path of 5000 characters", [&](Call& c) { c.messagePath.s = huge; }, toData(), kHead, allSent,
         {"1\tunable to open {msg}"}},

        // ---- Ports, levels, event bases and windows.
        {"port past 65535: its low 16 bits", [](Call& c) { c.portOffset = 65536; }, cleanRelay(), kClean,
         kCleanPairs, {}},
        {"negative port: its low 16 bits", [](Call& c) { c.portOffset = -65536; }, cleanRelay(), kClean,
         kCleanPairs, {}},
        {"port 0: connect fails", [](Call& c) { c.port = 0; }, {}, "", noConnect, {}},
        {"negative level: no log", [](Call& c) {
             c.level = -5;
             c.noLog = true;
         },
         cleanRelay(), kClean, kCleanPairs, {}},
        {"level 0: no log", [](Call& c) {
             c.level = 0;
             c.noLog = true;
         },
         cleanRelay(), kClean, kCleanPairs, {}},
        {"largest level: every line", [](Call& c) { c.level = INT_MAX; }, cleanRelay(), kClean, kCleanPairs,
         {"2\tStarting", "9\tSMTP Connect requested", "9\tSession Complete"}},
        {"negative event base", [](Call& c) { c.eventBase = -1000; }, cleanRelay(), kClean, kCleanPairs, {}},
        {"null window: the session runs unseen", [](Call& c) { c.window = false; }, cleanRelay(), kClean, {},
         {"9\tSession Complete"}},
        {"a window that does not exist", [](Call& c) {
             c.window = false;
             c.otherWindow = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7ffe1234));
         },
         cleanRelay(), kClean, {}, {"9\tSession Complete"}},

        // ---- Envelope files.
        {"envelope missing", [](Call& c) { c.envelope.reset(); }, heloOnly, "HELO h\r\n", greeted,
         {"1\tUnable to open envelope file {env}"}},
        {"envelope empty", [](Call& c) { c.envelope = ""; }, heloOnly, "HELO h\r\n", greeted,
         {"1\tNo sender in envelope file {env}"}},
        {"envelope of binary garbage: its first read as the sender", [&](Call& c) { c.envelope = bin; },
         heloThenClose(), "HELO h\r\nMAIL FROM: " + firstRead(bin), greeted, {}},
        {"sender line only: no RCPT TO, DATA or QUIT", [](Call& c) { c.envelope = "<a@here>\r\n"; },
         heloOnly + std::vector<std::string>{"C:MAIL", "250 ok\r\n"}, mailOnly, {{0, 1}, {50, 1}, {51, 1}, {0, 500}},
         {}},
        {"sender line past 79 bytes: its first 79, no line end", [&](Call& c) {
             c.envelope = longAddress + "\r\n<b@there>\r\n";
         },
         heloThenClose(), "HELO h\r\nMAIL FROM: " + longAddress.substr(0, 79), greeted, {}},
        {"recipient line past 79 bytes: its first 79, no line end", [&](Call& c) {
             c.envelope = "<a@here>\r\n" + longAddress + "\r\n";
         },
         heloOnly + std::vector<std::string>{"C:MAIL", "250 ok\r\n", "<pause>", "<close>"},
         mailOnly + "RCPT TO: " + longAddress.substr(0, 79), {{0, 1}, {50, 1}, {51, 1}, {0, 500}}, {}},
        {"lines ending in LF alone: sent as read", [](Call& c) { c.envelope = "<a@here>\n<b@there>\n"; },
         heloThenClose(), "HELO h\r\nMAIL FROM: <a@here>\n", greeted, {}},
        {"no line end at all", [](Call& c) { c.envelope = "<a@here>"; }, heloThenClose(),
         "HELO h\r\nMAIL FROM: <a@here>", greeted, {}},

        // ---- Message files.
        {"message missing: the relay is left waiting", [](Call& c) { c.message.reset(); }, toData(), kHead,
         allSent, {"1\tunable to open {msg}"}},
        {"message empty: the end of data at once", [](Call& c) { c.message = ""; },
         toData() + std::vector<std::string>{"C:", "C:", "250 queued\r\n", "C:QUIT", "221 bye\r\n", "<close>"},
         kHead + "\r\n.\r\nQUIT\r\n", kCleanPairs, {"9\tMessage Size 0", "9\tBytes sent 0"}},
        {"message of every byte value, sent as it is", [&](Call& c) { c.message = bytes; },
         toData() + std::vector<std::string>{"<pause>", "<close>"}, kHead + bytes + "\r\n.\r\n",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {0, 500}}, {"9\tMessage Size 1024"}},
    });
}

}  // namespace
