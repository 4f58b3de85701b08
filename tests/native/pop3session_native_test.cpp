// The POP3 session natively, behind a scripted transport: each dialogue is
// run with the server's bytes split into receives of every size from 1 to
// 40 bytes and whole, and must give the same pairs, commands and stored
// messages every time. Then the endings: a close, reset or silence in every
// state, which must end with (0, 500), leave the message on the server
// (no DELE for it) and never send anything after the session's end.
#include "logger.h"
#include "pop3session.h"
#include "pop3worker.h"
#include "progressrecorder.h"
#include "scriptedtransport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <map>
#include <unistd.h>

namespace {

using nettest::ServerEvent;
using Pairs = std::vector<std::pair<int, int>>;

struct Outcome {
    Pairs pairs;
    std::vector<std::string> sent;
    std::map<std::string, std::string> files;  // complete files only
    std::size_t eventsLeft = 0;                 // server events never taken
    long eventsLeftAtQuit = -1;                 // when QUIT went out; -1: never
    std::vector<std::string> log;               // "level\ttext" per line
};

// A message file that fails: not created, a write past `after` bytes, or
// its close.
struct FileFault {
    enum Kind { kNone, kCreate, kWrite, kClose } kind = kNone;
    std::string path;  // the file that fails
    std::size_t after = 0;
};

class MemoryFile : public pop3::MessageFile {
public:
    MemoryFile(std::map<std::string, std::string>& files, std::string path, FileFault fault)
        : files_(files), path_(std::move(path)), fault_(std::move(fault)) {}
    bool write(const char* d, std::size_t n) override
    {
        if (fault_.kind == FileFault::kWrite && data_.size() + n > fault_.after)
            return false;
        data_.append(d, n);
        return true;
    }
    bool close() override
    {
        if (fault_.kind == FileFault::kClose)
            return false;
        files_[path_] = data_;
        return true;
    }

private:
    std::map<std::string, std::string>& files_;
    std::string path_;
    std::string data_;
    FileFault fault_;
};

std::vector<std::string> readLog(const std::string& path)
{
    std::vector<std::string> lines;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return lines;
    std::string bytes;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        bytes.append(buf, n);
    std::fclose(f);
    for (std::size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(end - start > 23 ? bytes.substr(start + 23, end - start - 23) : "");
    return lines;
}

// Runs a session over the events; bytes events are cut into receives of
// at most `split` bytes (0: as given).
Outcome run(const std::vector<ServerEvent>& events, std::size_t split, const FileFault& fault = {})
{
    std::deque<ServerEvent> script;
    for (const ServerEvent& e : events) {
        if (e.kind != ServerEvent::kBytes || split == 0) {
            script.push_back(e);
            continue;
        }
        for (std::size_t i = 0; i < e.bytes.size(); i += split)
            script.push_back({ServerEvent::kBytes, e.bytes.substr(i, split)});
    }
    Outcome out;
    net::ProgressRecorder progress;
    char logPath[] = "/tmp/pop3log.XXXXXX";
    ::close(::mkstemp(logPath));
    net::logger log;
    log.setFile(logPath);
    log.setLevel(9);
    pop3::pop3worker w;
    w.log = &log;
    w.hostWindow = &progress;
    w.folder = "box";
    w.userName = "anna";
    w.password = "pw";
    nettest::ScriptedTransport* t = nullptr;
    pop3::Pop3SessionOptions o;
    o.makeSocket = [&] {
        auto s = std::make_unique<nettest::ScriptedTransport>(std::move(script));
        t = s.get();
        t->onSend = [&](const std::string& command) {
            if (command == "QUIT\r\n" && out.eventsLeftAtQuit < 0)
                out.eventsLeftAtQuit = static_cast<long>(t->eventsLeft());
        };
        return s;
    };
    o.createFile = [&](const std::string& path) -> std::unique_ptr<pop3::MessageFile> {
        if (path == fault.path && fault.kind == FileFault::kCreate)
            return nullptr;
        return std::make_unique<MemoryFile>(out.files, path,
                                            path == fault.path ? fault : FileFault{});
    };
    EXPECT_EQ(pop3::runPop3Session(w, o), 0);
    out.log = readLog(logPath);
    ::unlink(logPath);
    out.pairs = progress.pairs;
    out.sent = t->sent;
    out.eventsLeft = t->eventsLeft();
    EXPECT_EQ(t->closes, 1);
    EXPECT_FALSE(w.busy);
    return out;
}

ServerEvent bytes(const std::string& b) { return {ServerEvent::kBytes, b}; }

const std::string kMsg1 = "Subject: one\r\n\r\n..stuffed\r\nbody\r\n";
const std::string kMsg2 = "Subject: two\r\n\r\n" + std::string(5000, 'x') + "\r\nend\r\n";

struct Dialogue {
    const char* name;
    std::vector<ServerEvent> events;
    Pairs pairs;
    std::vector<std::string> sent;
    std::map<std::string, std::string> files;
};

std::vector<Dialogue> dialogues()
{
    return {
        {"two messages",
         {bytes("+OK ready\r\n"), bytes("+OK\r\n"), bytes("+OK logged in\r\n"),
          bytes("+OK 2 320\r\n"), bytes("+OK\r\n" + kMsg1 + ".\r\n"), bytes("+OK\r\n"),
          bytes("+OK\r\n" + kMsg2 + ".\r\n"), bytes("+OK\r\n"), bytes("+OK bye\r\n")},
         {{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {0, 10}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n", "RETR 1\r\n", "DELE 1\r\n", "RETR 2\r\n",
          "DELE 2\r\n", "QUIT\r\n"},
         {{"box\\1.msg", kMsg1}, {"box\\2.msg", kMsg2}}},
        {"empty mailbox",
         {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK 0 0\r\n"),
          bytes("+OK\r\n")},
         {{0, 1}, {0, 2}, {0, 4}, {0, 10}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n", "QUIT\r\n"},
         {}},
        {"greeting refused",
         {bytes("-ERR busy\r\n")},
         {{0, 1}, {50, -1}, {0, 500}},
         {},
         {}},
        {"password refused",
         {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("-ERR no\r\n")},
         {{0, 1}, {3, -1}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n"},
         {}},
        {"RETR of the only message refused: kept, nothing stored",
         {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK 1 9\r\n"),
          bytes("-ERR gone\r\n"), bytes("+OK\r\n")},
         {{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 10}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n", "RETR 1\r\n", "QUIT\r\n"},
         {}},
        {"RETR refused in the middle: the others fetched and deleted",
         {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK 3 99\r\n"),
          bytes("+OK\r\n" + kMsg1 + ".\r\n"), bytes("+OK\r\n"), bytes("-ERR cannot read\r\n"),
          bytes("+OK\r\n" + kMsg2 + ".\r\n"), bytes("+OK\r\n"), bytes("+OK bye\r\n")},
         {{0, 1}, {0, 2}, {3, 4}, {1, 5}, {2, 5}, {3, 5}, {0, 10}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n", "RETR 1\r\n", "DELE 1\r\n", "RETR 2\r\n",
          "RETR 3\r\n", "DELE 3\r\n", "QUIT\r\n"},
         {{"box\\1.msg", kMsg1}, {"box\\3.msg", kMsg2}}},
        {"DELE refused: QUIT commits the deletions before it",
         {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK 2 9\r\n"),
          bytes("+OK\r\n" + kMsg1 + ".\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n" + kMsg2 + ".\r\n"),
          bytes("-ERR locked\r\n"), bytes("+OK bye\r\n")},
         {{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {4, -1}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n", "RETR 1\r\n", "DELE 1\r\n", "RETR 2\r\n",
          "DELE 2\r\n", "QUIT\r\n"},
         {{"box\\1.msg", kMsg1}, {"box\\2.msg", kMsg2}}},
        {"STAT refused",
         {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("-ERR\r\n"),
          bytes("+OK bye\r\n")},
         {{0, 1}, {0, 2}, {4, -1}, {0, 500}},
         {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n", "QUIT\r\n"},
         {}},
    };
}

TEST(Pop3SessionNative, DialoguesGiveTheSameResultHoweverTheBytesAreSplit)
{
    for (const Dialogue& d : dialogues()) {
        for (std::size_t split : {0, 1, 2, 3, 5, 7, 13, 40, 499, 500}) {
            SCOPED_TRACE(std::string(d.name) + ", split " + std::to_string(split));
            Outcome o = run(d.events, split);
            EXPECT_EQ(o.pairs, d.pairs);
            EXPECT_EQ(o.sent, d.sent);
            EXPECT_EQ(o.files, d.files);
            EXPECT_EQ(o.eventsLeft, 0u);  // every reply read, the QUIT reply last
        }
    }
}

// The login, STAT 1, `reply` to RETR 1 cut into two receives at `cut`
// (0: whole), and the replies to DELE and QUIT.
std::vector<ServerEvent> oneMessage(const std::string& reply, std::size_t cut)
{
    std::vector<ServerEvent> e = {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"),
                                  bytes("+OK 1 99\r\n")};
    if (cut == 0) {
        e.push_back(bytes(reply));
    } else {
        e.push_back(bytes(reply.substr(0, cut)));
        e.push_back(bytes(reply.substr(cut)));
    }
    e.push_back(bytes("+OK\r\n"));
    e.push_back(bytes("+OK\r\n"));
    return e;
}

// Only CR LF "." CR LF ends a message: a bare LF followed by a dot line is
// message text, whether the two arrive in one receive, in two, or meet at
// the edge of bytes written in bulk (a line past 3000 characters). The
// reply is cut at every byte; the file equals the message and one DELE
// goes out, after the real end.
TEST(Pop3SessionNative, BareLfBeforeADotLineDoesNotEndTheMessage)
{
    std::string tail;
    for (int i = 0; i < 60; ++i)
        tail += "tail line " + std::to_string(i) + "\r\n";  // past one receive: never in bulk
    const std::pair<const char*, std::string> cases[] = {
        {"in the middle", "Subject: lf\r\n\r\na\n.\r\nb\r\n"},
        {"first bytes", "\n.\r\nafter\r\n"},
        {"last line", "x\n.\r\n"},
        {"twice", "a\n.\r\n\n.\r\nb\n.\n.\r\n"},
        {"after a long line", std::string(3100, 'y') + "\n.\r\n" + tail},
        {"long line ending in a bare LF", std::string(2998, 'y') + "\n.\r\n.\n.\r\n" + tail},
    };
    const std::vector<std::string> commands = {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n",
                                               "RETR 1\r\n", "DELE 1\r\n", "QUIT\r\n"};
    for (const auto& c : cases) {
        const std::string reply = "+OK\r\n" + c.second + ".\r\n";
        for (std::size_t cut = 0; cut < reply.size(); ++cut) {
            SCOPED_TRACE(std::string(c.first) + ", cut at " + std::to_string(cut));
            Outcome o = run(oneMessage(reply, cut), 0);
            EXPECT_EQ(o.sent, commands);
            ASSERT_EQ(o.files.count("box\\1.msg"), 1u);
            EXPECT_TRUE(o.files.at("box\\1.msg") == c.second);
            EXPECT_EQ(o.pairs, (Pairs{{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 10}, {0, 500}}));
            if (HasFailure())
                return;
        }
    }
}

// The replies that lead to each state, in order; a fault is put after the
// first `k` of them.
TEST(Pop3SessionNative, CloseResetOrSilenceInEveryStateEndsTheSessionAndDeletesNothingUnstored)
{
    const std::vector<std::string> replies = {
        "+OK\r\n", "+OK\r\n", "+OK\r\n", "+OK 1 40\r\n", "+OK\r\n" + kMsg1, ".\r\n", "+OK\r\n"};
    struct Fault {
        ServerEvent::Kind kind;
        std::pair<int, int> pair;  // before (0, 500); (0, 0) for none
    };
    const Fault faults[] = {{ServerEvent::kClose, {0, 0}},
                            {ServerEvent::kReset, {101, -1}},
                            {ServerEvent::kSilence, {100, -1}}};
    for (const Fault& f : faults) {
        for (std::size_t k = 0; k < replies.size(); ++k) {
            SCOPED_TRACE("fault " + std::to_string(f.kind) + " after " + std::to_string(k) + " replies");
            std::vector<ServerEvent> events;
            for (std::size_t i = 0; i < k; ++i)
                events.push_back(bytes(replies[i]));
            events.push_back({f.kind, ""});
            Outcome o = run(events, 0);
            ASSERT_GE(o.pairs.size(), 2u);
            EXPECT_EQ(o.pairs.back(), std::make_pair(0, 500));
            if (f.pair.first != 0)
                EXPECT_EQ(o.pairs[o.pairs.size() - 2], f.pair);
            bool deleteSent = false;
            for (const std::string& s : o.sent)
                deleteSent = deleteSent || s == "DELE 1\r\n";
            // The DELE goes out only after the dot line (reply 6).
            EXPECT_EQ(deleteSent, k >= 6);
            // A message cut off after its lines keeps its file (closed by the
            // ending), but stays on the server.
            EXPECT_EQ(o.files.count("box\\1.msg") == 1 && o.files.at("box\\1.msg") == kMsg1, k >= 5);
        }
    }
}

// A server that sends on and on without a line end, before the greeting's
// end or a later reply's: the session stops holding it at the reply limit
// and ends as on a failed receive, with nothing retrieved or deleted.
TEST(Pop3SessionNative, EndlessReplyWithoutLineEndEndsTheSessionAtTheLimit)
{
    for (std::size_t k : {0, 2}) {
        SCOPED_TRACE("after " + std::to_string(k) + " replies");
        std::vector<ServerEvent> events;
        for (std::size_t i = 0; i < k; ++i)
            events.push_back(bytes("+OK\r\n"));
        for (int i = 0; i < 400; ++i)
            events.push_back(bytes(std::string(1000, 'x')));
        events.push_back(bytes("\r\n"));
        Outcome o = run(events, 0);
        ASSERT_GE(o.pairs.size(), 2u);
        EXPECT_EQ(o.pairs[o.pairs.size() - 2], std::make_pair(101, -1));
        EXPECT_EQ(o.pairs.back(), std::make_pair(0, 500));
        EXPECT_GT(o.eventsLeft, 300u);
        EXPECT_EQ(o.sent.size(), k);  // USER and PASS, nothing after
        EXPECT_TRUE(o.files.empty());
    }
}

// Message 2 of 2 cannot be stored: its file is not created, a write fails
// (in a line or in bulk) or its close fails. Message 1 is stored and its
// DELE accepted. The rest of the RETR reply is read (cut at every byte),
// then QUIT goes out once, its reply is read, and message 2 is neither
// deleted nor left complete in a file.
TEST(Pop3SessionNative, FileThatCannotBeStoredEndsWithQuitAfterTheWholeReply)
{
    const std::string tailLong = "Subject: tail\r\n\r\n" + std::string(5000, 'z') + "\r\n";
    struct Case {
        const char* name;
        std::string message;  // message 2 on the wire
        FileFault fault;
        const char* logLine;
    } cases[] = {
        {"not created", kMsg1, {FileFault::kCreate, "box\\2.msg"},
         "1\tPOP3 Client could not create box\\2.msg, message 2 left on the server"},
        {"first write fails", kMsg1, {FileFault::kWrite, "box\\2.msg", 0},
         "1\tPOP3 Client could not write box\\2.msg, message 2 left on the server"},
        {"a later write fails", kMsg1, {FileFault::kWrite, "box\\2.msg", 20},
         "1\tPOP3 Client could not write box\\2.msg, message 2 left on the server"},
        {"bulk write fails", kMsg2, {FileFault::kWrite, "box\\2.msg", 100},
         "1\tPOP3 Client could not write box\\2.msg, message 2 left on the server"},
        {"close fails", kMsg1, {FileFault::kClose, "box\\2.msg"},
         "1\tPOP3 Client could not write box\\2.msg, message 2 left on the server"},
        {"close fails, long last line", tailLong, {FileFault::kClose, "box\\2.msg"},
         "1\tPOP3 Client could not write box\\2.msg, message 2 left on the server"},
    };
    const std::vector<std::string> commands = {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n",
                                               "RETR 1\r\n",    "DELE 1\r\n",  "RETR 2\r\n",
                                               "QUIT\r\n"};
    for (const Case& c : cases) {
        const std::string reply = "+OK\r\n" + c.message + ".\r\n";
        for (std::size_t cut = 0; cut < reply.size(); ++cut) {
            SCOPED_TRACE(std::string(c.name) + ", cut at " + std::to_string(cut));
            std::vector<ServerEvent> e = {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n"),
                                          bytes("+OK 2 99\r\n"), bytes("+OK\r\n" + kMsg1 + ".\r\n"),
                                          bytes("+OK\r\n")};
            if (cut == 0) {
                e.push_back(bytes(reply));
            } else {
                e.push_back(bytes(reply.substr(0, cut)));
                e.push_back(bytes(reply.substr(cut)));
            }
            e.push_back(bytes("+OK bye\r\n"));
            Outcome o = run(e, 0, c.fault);
            EXPECT_EQ(o.sent, commands);
            EXPECT_EQ(o.files, (std::map<std::string, std::string>{{"box\\1.msg", kMsg1}}));
            EXPECT_EQ(o.pairs, (Pairs{{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {0, 500}}));
            EXPECT_EQ(o.eventsLeftAtQuit, 1);  // the reply to RETR 2 all read first
            EXPECT_EQ(o.eventsLeft, 0u);       // and the reply to QUIT read
            ASSERT_GE(o.log.size(), 5u);
            EXPECT_EQ(std::vector<std::string>(o.log.end() - 3, o.log.end()),
                      (std::vector<std::string>{"9\t-> QUIT", "9\t<- +OK BYE", "8\tPOP3 Client closed."}));
            EXPECT_EQ(std::count(o.log.begin(), o.log.end(), c.logLine), 1);
            EXPECT_EQ(std::count(o.log.begin(), o.log.end(), "9\tSession Complete"), 0);
            if (HasFailure())
                return;
        }
    }
}

// A reply without line end past the limit after the password was accepted:
// (101, -1), QUIT, the rest of that reply dropped up to its line end and
// the reply to QUIT read; a server that never ends the line is left after
// another limit's worth.
TEST(Pop3SessionNative, ReplyPastTheLimitAfterLoginEndsWithQuit)
{
    const std::vector<ServerEvent> login = {bytes("+OK\r\n"), bytes("+OK\r\n"), bytes("+OK\r\n")};
    const std::vector<std::string> commands = {"USER anna\r\n", "PASS pw\r\n", "STAT\r\n",
                                               "QUIT\r\n"};
    for (const char* end : {"\r\n", "\r|\n", "|\r\n"}) {
        SCOPED_TRACE(std::string("line end ") + end);
        std::vector<ServerEvent> e = login;
        for (int i = 0; i < 70; ++i)
            e.push_back(bytes(std::string(1000, 'x')));
        std::string lineEnd = end;
        std::size_t bar = lineEnd.find('|');
        if (bar == std::string::npos) {
            e.push_back(bytes("xx" + lineEnd));
        } else {
            e.push_back(bytes("xx" + lineEnd.substr(0, bar)));
            e.push_back(bytes(lineEnd.substr(bar + 1)));
        }
        e.push_back(bytes("+OK bye\r\n"));
        Outcome o = run(e, 0);
        EXPECT_EQ(o.sent, commands);
        EXPECT_EQ(o.pairs, (Pairs{{0, 1}, {0, 2}, {101, -1}, {0, 500}}));
        EXPECT_EQ(o.eventsLeft, 0u);
        ASSERT_GE(o.log.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(o.log.end() - 4, o.log.end()),
                  (std::vector<std::string>{"1\tPOP3 Client closed, reply without line end too long.",
                                            "9\t-> QUIT", "9\t<- +OK BYE", "8\tPOP3 Client closed."}));
        EXPECT_EQ(std::count(o.log.begin(), o.log.end(), "9\tSession Complete"), 0);
    }
    {
        SCOPED_TRACE("never a line end");
        std::vector<ServerEvent> e = login;
        for (int i = 0; i < 400; ++i)
            e.push_back(bytes(std::string(1000, 'x')));
        Outcome o = run(e, 0);
        EXPECT_EQ(o.sent, commands);
        EXPECT_EQ(o.pairs, (Pairs{{0, 1}, {0, 2}, {101, -1}, {0, 500}}));
        EXPECT_GT(o.eventsLeft, 200u);
        EXPECT_EQ(std::count(o.log.begin(), o.log.end(), "1\tPOP3 Client closed, no reply to QUIT."), 1);
    }
}

TEST(Pop3SessionNative, StatCountParsing)
{
    const std::pair<const char*, int> cases[] = {
        {"+OK 7 12345\r\n", 7}, {"+OK   12  9\r\n", 12}, {"+OK\r\n", 0},
        {"+OK x 1\r\n", 0},     {"+OK -3 0\r\n", -3},    {"+OK 0009 1\r\n", 9},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pop3::parseStatCount(c.first), c.second) << c.first;
}

TEST(Pop3SessionNative, NoSocketGivesTheSetUpFailurePair)
{
    net::ProgressRecorder progress;
    pop3::pop3worker w;
    w.hostWindow = &progress;
    pop3::Pop3SessionOptions o;
    o.makeSocket = [] { return std::unique_ptr<net::Transport>(); };
    EXPECT_EQ(pop3::runPop3Session(w, o), 0);
    EXPECT_EQ(progress.pairs, (Pairs{{0, -1000}}));
}

}  // namespace
