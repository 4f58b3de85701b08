// tarnwick.exe send-mail run as a process against scripted SMTP relays: the
// session followed to its last pair, the content progress in bytes, and
// the exit code for each way a session ends.
#include "childprocess.h"
#include "scriptserver.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::ProgramRun;
using testsupport::ScriptServer;
using testsupport::ScriptStep;
using Steps = std::vector<ScriptStep>;

// Three lines of 998 characters and their CR LF: 3000 bytes, so the session
// posts one content pair, (100, 99).
std::string line(char c) { return std::string(998, c); }

// A relay's side of one session up to the end of the data; rcptReplies:
// one reply per recipient; dataEnd: the reply to the end of the data.
Steps relay(const std::vector<std::string>& rcptReplies, const std::string& dataEnd)
{
    std::vector<std::string> d = {"220 relay.test ready\r\n", "C:HELO office.test", "250 hello\r\n",
                                  "C:MAIL FROM: <a@office.test>", "250 ok\r\n"};
    for (const std::string& r : rcptReplies) {
        d.push_back("C:RCPT TO");
        d.push_back(r);
    }
    for (const std::string& l : std::vector<std::string>{
             "C:DATA", "354 go ahead\r\n", "C:" + line('a'), "C:" + line('b'), "C:" + line('c'),
             "C:.", dataEnd, "C:QUIT", "221 bye\r\n"})
        d.push_back(l);
    Steps s = testsupport::dialogue(d);
    s.push_back(testsupport::closeConnection());
    return s;
}

TEST(HostSendTest, EachEndingHasItsExitCodeAndTheContentShowsItsBytes)
{
    testsupport::TestDir dir;
    std::string bin = testsupport::exeFolder();
    for (const char* name : {"tarnwick.exe", "postgate.dll"})
        ASSERT_TRUE(CopyFileA((bin + "\\" + name).c_str(), dir.file(name).c_str(), FALSE)) << name;
    testsupport::writeFile(dir.file("msg.txt"),
                           line('a') + "\r\n" + line('b') + "\r\n" + line('c') + "\r\n");
    testsupport::writeFile(dir.file("one.env"), "<a@office.test>\r\n<c@relay.test>\r\n");
    testsupport::writeFile(dir.file("two.env"),
                           "<a@office.test>\r\n<c@relay.test>\r\n<nobody@relay.test>\r\n");
    struct Case {
        const char* what;
        const char* envelope;
        Steps script;  // empty: nothing listens
        DWORD exitCode;
        std::vector<std::string> output;  // parts of the output, in order
    } cases[] = {
        {"accepted", "one.env", relay({"250 ok\r\n"}, "250 queued\r\n"), 0,
         {"sender accepted", "sending 100%: 2.9 KB of 2.9 KB", "content sent", "session over",
          "message accepted by the relay\n"}},
        {"one recipient refused", "two.env", relay({"250 ok\r\n", "550 no such user\r\n"}, "250 queued\r\n"),
         1, {"a recipient was refused", "refused: RCPT TO: <nobody@relay.test>", "550 NO SUCH USER",
             "accepted by the relay for the recipients it did not refuse"}},
        {"message refused at the end of the data", "one.env", relay({"250 ok\r\n"}, "554 rejected\r\n"),
         1, {"failed: the relay did not accept the message", "tarnwick: message not delivered"}},
        {"nothing listens", "one.env", {}, 1, {"failed: connect failed", "tarnwick: message not delivered"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<ScriptServer> server;
        int port = testsupport::unusedPort();
        if (!c.script.empty()) {
            server = std::make_unique<ScriptServer>(c.script);
            port = server->port();
        }
        DeleteFileA(dir.file("smtp.bad").c_str());
        ProgramRun r = testsupport::runCapturing(
            dir.file("tarnwick.exe") + " send-mail 127.0.0.1 " + dir.file(c.envelope) + " " +
                dir.file("msg.txt") + " --port " + std::to_string(port) +
                " --helo office.test --folder " + dir.path() + " -v",
            dir.path());
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
        std::size_t at = 0;
        for (const std::string& part : c.output) {
            at = r.output.find(part, at);
            EXPECT_NE(at, std::string::npos) << part << "\n" << r.output;
            if (at == std::string::npos)
                break;
        }
    }
}

}  // namespace
