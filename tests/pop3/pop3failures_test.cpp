// The POP3 session's failure endings that a loopback server cannot stage
// under Wine (resets, other receive errors, sockets that cannot be made or
// opened) over a scripted transport, and the message files that cannot be
// completed (disk full, close failure, paths past their widths).
#include "scriptserver.h"
#include "sessionharness.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

using namespace pop3test;
using Lines = std::vector<std::string>;

// A transport that plays receive results from a list: bytes, or an error
// number (receive -1), or end of list = peer closed (0). Records sends.
class FakeTransport : public net::Transport {
public:
    struct Receive {
        std::string bytes;
        int error = 0;
    };
    std::deque<Receive> receives;
    std::string sent;
    bool openOk = true;
    bool closed = false;
    int lastError_ = 0;

    bool setPort(int) override { return true; }
    bool open() override { return openOk; }
    bool setHostName(const std::string&) override { return true; }
    bool setHostAddress(const std::string&) override { return true; }
    bool connect() override { return true; }
    bool waitForData(int, int) override { return true; }
    int receive(net::ByteBuffer& buffer, int) override
    {
        if (receives.empty())
            return 0;
        Receive r = receives.front();
        receives.pop_front();
        if (r.error) {
            lastError_ = r.error;
            return -1;
        }
        std::copy(r.bytes.begin(), r.bytes.end(), buffer.begin());
        return static_cast<int>(r.bytes.size());
    }
    int send(const net::ByteBuffer& buffer, int) override
    {
        sent.append(buffer.begin(), buffer.end());
        return static_cast<int>(buffer.size());
    }
    int lastError() const override { return lastError_; }
    bool close(bool, int) override { return closed = true; }
};

std::deque<FakeTransport::Receive> loggedIn(int count)
{
    return {{"+OK\r\n"}, {"+OK\r\n"}, {"+OK\r\n"}, {"+OK " + std::to_string(count) + " 9\r\n"}};
}

void useFake(SessionRun& r, FakeTransport*& fake, std::deque<FakeTransport::Receive> receives)
{
    auto owned = std::make_unique<FakeTransport>();
    fake = owned.get();
    fake->receives = std::move(receives);
    auto holder = std::make_shared<std::unique_ptr<FakeTransport>>(std::move(owned));
    r.options.makeSocket = [holder]() -> std::unique_ptr<net::Transport> {
        return std::move(*holder);
    };
}

TEST(Pop3SessionEndings, ReceiveErrors)
{
    struct Case {
        int error;
        std::string line;
    } cases[] = {
        {10054, "5\tPOP3 Client closed, Connection reset by peer."},
        {10053, "1\tPOP3 Client receive error 10053"},
        {10060, "1\tPOP3 Client receive error 10060"},
    };
    for (const Case& c : cases) {
        SessionRun r;
        FakeTransport* fake = nullptr;
        useFake(r, fake, {{"+OK\r\n"}, {"", c.error}});
        EXPECT_EQ(r.run(110), 0);
        EXPECT_EQ(fake->sent, "USER joe\r\n");
        EXPECT_TRUE(fake->closed);
        EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {101, -1}, {0, 500}}));
        Lines lines = r.lines();
        Lines tail(lines.end() - 2, lines.end());
        EXPECT_EQ(tail, (Lines{c.line, "8\tPOP3 Client closed."})) << c.error;
    }
}

TEST(Pop3SessionEndings, SocketNotCreatedOrNotOpened)
{
    {
        SessionRun r;
        r.options.makeSocket = [] { return std::unique_ptr<net::Transport>(); };
        EXPECT_EQ(r.run(110), 0);
        EXPECT_EQ(r.pairs(), (Pairs{{0, -1000}}));
        EXPECT_EQ(r.lines(), (Lines{"1\tCould not create POP3 client socket!"}));
        EXPECT_FALSE(r.worker.busy);
    }
    {
        SessionRun r;
        FakeTransport* fake = nullptr;
        useFake(r, fake, {});
        fake->openOk = false;
        EXPECT_EQ(r.run(110), 0);
        EXPECT_EQ(r.pairs(), (Pairs{{0, -1000}}));
        EXPECT_EQ(r.lines(), (Lines{"1\tCould not create POP3 Client socket!"}));
    }
}

// A message file that fails after `failAfter` bytes, or at close.
class FailingFile : public pop3::MessageFile {
public:
    FailingFile(std::string path, std::size_t failAfter, bool closeFails)
        : path_(std::move(path)), left_(failAfter), closeFails_(closeFails)
    {
        testsupport::writeFile(path_, "");
    }
    bool write(const char* data, std::size_t size) override
    {
        if (size > left_)
            return false;
        left_ -= size;
        bytes_.append(data, size);
        return true;
    }
    bool close() override
    {
        testsupport::writeFile(path_, bytes_);
        return !closeFails_;
    }

private:
    std::string path_;
    std::string bytes_;
    std::size_t left_;
    bool closeFails_;
};

// The session then reads the rest of the RETR reply, sends QUIT and reads
// its reply, so the server applies the deletions made before.
TEST(Pop3SessionEndings, IncompleteFileIsNeverDeletedOnTheServer)
{
    struct Case {
        const char* name;
        std::size_t failAfter;
        bool closeFails;
        bool bulk;  // a line long enough for bulk handling
    } cases[] = {
        {"disk full at the second line", 6, false, false},
        {"disk full in bulk", 100, false, true},
        {"close fails", 1 << 20, true, false},
        {"close fails after bulk", 1 << 20, true, true},
    };
    for (const Case& c : cases) {
        SessionRun r;
        r.options.createFile = [&](const std::string& path) -> std::unique_ptr<pop3::MessageFile> {
            return std::make_unique<FailingFile>(path, c.failAfter, c.closeFails);
        };
        std::string body = c.bulk ? std::string(4000, 'b') + "\r\n" : "first\r\nsecond\r\n";
        std::string reply = "+OK\r\n" + body + ".\r\n";
        std::vector<testsupport::ScriptStep> s = testsupport::dialogue(
            {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT",
             "+OK 2 9\r\n", "C:RETR 1", reply, "C:QUIT", "+OK bye\r\n"});
        testsupport::ScriptServer server(s);
        EXPECT_EQ(r.run(server.port()), 0) << c.name;
        EXPECT_EQ(server.received(), "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nQUIT\r\n") << c.name;
        EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {2, 4}, {1, 5}, {0, 500}})) << c.name;
        EXPECT_TRUE(r.files().empty()) << c.name << ": the incomplete file is removed";
        Lines lines = r.lines();
        Lines tail(lines.end() - 4, lines.end());
        EXPECT_EQ(tail, (Lines{"1\tPOP3 Client could not write " + r.folder +
                                   "\\1.msg, message 1 left on the server",
                               "9\t-> QUIT", "9\t<- +OK BYE", "8\tPOP3 Client closed."}))
            << c.name;
    }
}

TEST(Pop3SessionEndings, FileThatCannotBeCreatedEndsTheSession)
{
    SessionRun r;
    r.worker.folder = r.dir.file("missing-folder");
    testsupport::ScriptServer server(testsupport::dialogue(
        {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT", "+OK 1 9\r\n",
         "C:RETR 1", "+OK\r\nx\r\n.\r\n", "C:QUIT", "+OK bye\r\n"}));
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 500}}));
    Lines lines = r.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"1\tPOP3 Client could not create " + r.worker.folder +
                         "\\1.msg, message 1 left on the server",
                     "9\t-> QUIT", "9\t<- +OK BYE", "8\tPOP3 Client closed."}));
}

// A reply without line end past the limit after the password was accepted:
// (101, -1), QUIT, the rest of that reply dropped up to its line end, and
// the reply to QUIT read.
TEST(Pop3SessionEndings, ReplyPastTheLimitAfterLoginEndsWithQuit)
{
    SessionRun r;
    std::vector<testsupport::ScriptStep> s = testsupport::dialogue(
        {"+OK\r\n", "C:USER joe", "+OK\r\n", "C:PASS secret", "+OK\r\n", "C:STAT"});
    s.push_back(testsupport::sendBytes("+OK " + std::string(70000, '7')));
    s.push_back(testsupport::pause(100));
    s.push_back(testsupport::sendBytes(" 1\r\n"));
    std::vector<testsupport::ScriptStep> quit = testsupport::dialogue({"C:QUIT", "+OK bye\r\n"});
    s.insert(s.end(), quit.begin(), quit.end());
    testsupport::ScriptServer server(s);
    EXPECT_EQ(r.run(server.port()), 0);
    EXPECT_EQ(server.received(), "USER joe\r\nPASS secret\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {101, -1}, {0, 500}}));
    Lines lines = r.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"1\tPOP3 Client closed, reply without line end too long.", "9\t-> QUIT",
                     "9\t<- +OK BYE", "8\tPOP3 Client closed."}));
}

TEST(Pop3SessionEndings, PathsPastTheirWidthsAreRefused)
{
    struct Case {
        std::size_t folderLength;
        bool fits;
    } cases[] = {{249, true}, {250, false}, {414, false}, {415, false}, {600, false}};
    for (const Case& c : cases) {
        std::string folder = "C:\\" + std::string(c.folderLength - 3, 'f');
        std::string path = pop3::messageFilePath(folder, 1);
        EXPECT_EQ(!path.empty(), c.fits) << c.folderLength;
        if (c.fits) {
            EXPECT_EQ(path, folder + "\\1.msg");
        }
    }
    EXPECT_EQ(pop3::messageFilePath("C:\\m", 12345), "C:\\m\\12345.msg");
    EXPECT_EQ(pop3::messageFilePath(std::string(249, 'f'), 10), "");  // 256 with the NUL

    SessionRun r;
    r.worker.folder = "C:\\" + std::string(411, 'f');
    FakeTransport* fake = nullptr;
    auto receives = loggedIn(1);
    receives.push_back({"+OK\r\nx\r\n.\r\n"});
    receives.push_back({"+OK\r\n"});
    useFake(r, fake, receives);
    EXPECT_EQ(r.run(110), 0);
    EXPECT_EQ(fake->sent, "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 500}}));
    Lines lines = r.lines();
    Lines tail(lines.end() - 4, lines.end());
    EXPECT_EQ(tail, (Lines{"1\tPOP3 Client message file path too long, message 1 left on the server",
                           "9\t-> QUIT", "9\t<- +OK", "8\tPOP3 Client closed."}));
}

TEST(Pop3SessionEndings, DataAfterTheDotLineIsNotPartOfTheMessage)
{
    SessionRun r;
    FakeTransport* fake = nullptr;
    auto receives = loggedIn(1);
    receives.push_back({"+OK\r\nbody\r\n.\r\nstray\r\n"});
    receives.push_back({"+OK\r\n"});
    useFake(r, fake, receives);
    r.run(110);
    EXPECT_EQ(r.file(1), "body\r\n");
    // The stray line runs ahead of the DELE reply: taken as a refusal, and
    // the DELE's own reply is then read as the reply to QUIT.
    EXPECT_EQ(fake->sent, "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs().end()[-2], std::make_pair(4, -1));
}

// Past 3000 pending characters the text goes to the file whole; a dot line
// inside such a block is found by the raw-block test and stays in the file.
TEST(Pop3SessionEndings, EndFoundInTheRawBlockAfterBulk)
{
    SessionRun r;
    FakeTransport* fake = nullptr;
    auto receives = loggedIn(1);
    receives.push_back({"+OK 3009 octets\r\n"});
    for (int i = 0; i < 6; ++i)
        receives.push_back({std::string(500, 'x')});
    receives.push_back({"xxxx\r\n.\r\n"});
    receives.push_back({"+OK\r\n"});
    receives.push_back({"+OK\r\n"});
    useFake(r, fake, receives);
    EXPECT_EQ(r.run(110), 0);
    EXPECT_EQ(r.file(1), std::string(3004, 'x') + "\r\n.\r\n");
    EXPECT_EQ(fake->sent, "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n");
    EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 10}, {0, 500}}));
    Lines lines = r.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "9\tFound EOM, Closing & flushing buffer"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "9\tFound EOM, Closing file"), 0);
}

// The terminating sequence split between a bulk block and the next
// receive: found across the boundary instead of waiting out the receive
// wait; the file ends with the dot line as a bulk end leaves it.
TEST(Pop3SessionEndings, EndStraddlingABulkBlock)
{
    for (std::size_t cut : {1, 2, 3, 4}) {
        const std::string end = "\r\n.\r\n";
        SessionRun r;
        FakeTransport* fake = nullptr;
        auto receives = loggedIn(1);
        receives.push_back({"+OK\r\n"});
        for (int i = 0; i < 6; ++i)
            receives.push_back({std::string(500, 'y')});
        receives.push_back({"yyy" + end.substr(0, cut)});
        receives.push_back({end.substr(cut)});
        receives.push_back({"+OK\r\n"});
        receives.push_back({"+OK\r\n"});
        useFake(r, fake, receives);
        EXPECT_EQ(r.run(110), 0);
        // Cut after the CR LF, the dot line arrives whole and line handling
        // ends the message without writing it.
        std::string want = std::string(3003, 'y') + (cut == 2 ? "\r\n" : end);
        std::string got = r.file(1);
        EXPECT_EQ(got.size(), want.size()) << cut;
        EXPECT_TRUE(got == want) << cut;
        EXPECT_EQ(fake->sent, "USER joe\r\nPASS secret\r\nSTAT\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n")
            << cut;
        EXPECT_EQ(r.pairs(), (Pairs{{0, 1}, {0, 2}, {1, 4}, {1, 5}, {0, 10}, {0, 500}})) << cut;
    }
}

}  // namespace
