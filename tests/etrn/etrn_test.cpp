// The ETRN session against a scripted server, and qflush.dll as a host
// loads it (registry port, the local host name in EHLO, overlapping calls).
#include "dll.h"
#include "imagecheck.h"
#include "stdcallprobe.h"
#include "testdir.h"
#include "etrnsession.h"
#include "portsetting.h"
#include "qflushlibrary.h"
#include "processes.h"
#include "scriptserver.h"

#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <set>

namespace testsupport {
inline std::vector<ScriptStep> operator+(std::vector<ScriptStep> a, const std::vector<ScriptStep>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace testsupport

namespace {

using testsupport::ScriptServer;
using testsupport::ScriptStep;
using testsupport::dialogue;

struct EtrnRun {
    etrn::q_flush worker;
    etrn::EtrnSessionOptions options;
    EtrnRun()
    {
        worker.hostName = "no.such.host.invalid";
        worker.hostAddress = "127.0.0.1";
        worker.useHostName = false;
        worker.domain = "example.org";
        options.receiveWaitSeconds = 1;
        options.localName = [] { return std::string("me.local"); };
    }
    int run(int port)
    {
        worker.port = port;
        return etrn::runEtrnSession(worker, options);
    }
};

TEST(EtrnSession, Dialogues)
{
    struct Case {
        const char* name;
        std::vector<ScriptStep> script;
        std::string sent;
    };
    const std::vector<Case> cases = {
        {"continuation lines then 250",
         dialogue({"220 flush ready\r\n", "C:EHLO", "250-mx.example\r\n250-ETRN\r\n250 8BITMIME\r\n",
                   "C:ETRN", "250 Queuing started\r\n", "C:QUIT", "221 bye\r\n"}),
         "EHLO me.local\r\nETRN example.org\r\nQUIT\r\n"},
        {"EHLO reply split over receives",
         dialogue({"220 ready\r\n", "C:EHLO"}) +
             std::vector<ScriptStep>{testsupport::sendBytes("250-mx\r\n25"), testsupport::pause(200),
                                     testsupport::sendBytes("0-ETRN\r\n250 "), testsupport::pause(200),
                                     testsupport::sendBytes("OK\r\n")} +
             dialogue({"C:ETRN", "250 ok\r\n", "C:QUIT", "221 bye\r\n"}),
         "EHLO me.local\r\nETRN example.org\r\nQUIT\r\n"},
        {"refused ETRN still gets QUIT",
         dialogue({"220 ready\r\n", "C:EHLO", "250 mx\r\n", "C:ETRN",
                   "459 <example.org>: service unavailable\r\n", "C:QUIT", "221 bye\r\n"}),
         "EHLO me.local\r\nETRN example.org\r\nQUIT\r\n"},
        // Not "220 ": nothing is sent and the wait runs out, with no command
        // to send again.
        {"220- greeting", dialogue({"220-first\r\n220 second\r\n"}), ""},
        {"greeting beginning with 5", dialogue({"554 go away\r\n"}), ""},
        // Ends at once: without the stop the time-out would send EHLO again.
        {"EHLO refused", dialogue({"220 ready\r\n", "C:EHLO", "501 syntax\r\n"}), "EHLO me.local\r\n"},
        {"silent after ETRN", dialogue({"220 ready\r\n", "C:EHLO", "250 mx\r\n", "C:ETRN"}),
         "EHLO me.local\r\nETRN example.org\r\nETRN example.org\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EtrnRun r;
        ScriptServer server(c.script);
        EXPECT_EQ(r.run(server.port()), 0);
        EXPECT_EQ(server.received(), c.sent);
        EXPECT_TRUE(r.worker.done);
    }
}

TEST(EtrnSession, AddressOrName)
{
    for (bool byName : {false, true}) {
        SCOPED_TRACE(byName ? "name" : "address");
        EtrnRun r;
        if (byName) {
            r.worker.hostName = "localhost";
            r.worker.hostAddress = "";
            r.worker.useHostName = true;
        }
        ScriptServer server(dialogue({"554 no\r\n"}));
        EXPECT_EQ(r.run(server.port()), 0);
        server.received();
        EXPECT_TRUE(server.accepted());
    }
    EtrnRun r;
    EXPECT_EQ(r.run(testsupport::unusedPort()), -1);
}

void setSmtpOut(const char* value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, net::kPortsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value)
        RegSetValueExA(key, "smtp_out", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(strlen(value) + 1));
    else
        RegDeleteValueA(key, "smtp_out");
    RegCloseKey(key);
}

std::string localName()
{
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    WSACleanup();
    return name;
}

TEST(QflushExports, TableAndPortFromTheRegistry)
{
    testsupport::expectShippedImage(
        testsupport::readPeImage(testsupport::exeFolder() + "\\qflush.dll"),
        testsupport::kOwnMachine, shipped::kQflushExports);

    using QFlush = int __stdcall(const char*, const char*, const char*);
    testsupport::Dll dll("qflush.dll");
    QFlush* flush = dll.get<QFlush>("Q_FLUSH");
    ASSERT_NE(flush, nullptr);
    std::string host = localName();
    ASSERT_FALSE(host.empty());

    // Two requests that overlap, each on its own port and socket.
    auto script = [] {
        return std::vector<ScriptStep>{testsupport::pause(500)} +
               dialogue({"220 ready\r\n", "C:EHLO", "250 mx\r\n", "C:ETRN", "250 ok\r\n", "C:QUIT",
                         "221 bye\r\n"});
    };
    ScriptServer first(script());
    ScriptServer second(script());
    std::set<unsigned long> threadsBefore = testsupport::ownThreads();
    setSmtpOut(std::to_string(first.port()).c_str());
    EXPECT_EQ(flush("no.such.host.invalid", "127.0.0.1", "one.example"), 0);
    setSmtpOut((" " + std::to_string(second.port())).c_str());
    EXPECT_EQ(flush("localhost", "", "two.example"), 0);
    setSmtpOut(nullptr);
    EXPECT_EQ(first.received(), "EHLO " + host + "\r\nETRN one.example\r\nQUIT\r\n");
    EXPECT_EQ(second.received(), "EHLO " + host + "\r\nETRN two.example\r\nQUIT\r\n");
    EXPECT_EQ(net::readPortSetting("smtp_out", 25), 25);
    testsupport::threadsEnded(threadsBefore);  // a worker may still linger; only waited for
}

// Q_FLUSH removes exactly the 12 bytes of arguments a host pushed. Called
// here with every argument null: there is nothing to connect to, and its
// session ends by itself.
TEST(QflushExports, RemovesExactlyItsArguments)
{
#if defined(__i386__)
    testsupport::Dll dll("qflush.dll");
    ASSERT_TRUE(dll.loaded());
    EXPECT_EQ(testsupport::calleeRemovedBytes(dll.procAddress("Q_FLUSH"), 3), 12);
#else
    GTEST_SKIP() << "x86_64 has one calling convention, in which the caller removes the arguments";
#endif
}

}  // namespace
