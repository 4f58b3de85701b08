// System tests against a real Postfix on 127.0.0.1 (scripts/postfix.sh,
// started and stopped by a CTest fixture): delivery byte for byte, a
// refusal by an access map recorded in "smtp.bad", and ETRN answered for a
// fast-flush domain with the port taken from the registry.
#include "dll.h"
#include "smtpharness.h"
#include "testdir.h"

#include <windows.h>

#include <cstdlib>
#include <gtest/gtest.h>

#ifndef TARN_POSTFIX_PORT
#error TARN_POSTFIX_PORT must be defined
#endif

namespace {

using smtptest::Pairs;
using testsupport::Dll;

using InitSmtpMail = int __stdcall(HWND, int, const char*, const char*, const char*, const char*,
                                   int, int, const char*);
using ConnectToHost = int __stdcall(const char*, const char*);
using QFlush = int __stdcall(const char*, const char*, const char*);

// A Linux path of the build tree as Wine's Z: drive shows it.
std::string instancePath(const std::string& rest)
{
    const char* build = std::getenv("TARN_BUILD_DIR");
    std::string p = std::string("Z:") + (build ? build : "") + "/postfix-test/" + rest;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// The bytes as the mailbox holds them: LF line ends, transparency dots gone.
std::string asDelivered(const std::string& smtpContent)
{
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < smtpContent.size(); ++i) {
        char c = smtpContent[i];
        if (lineStart && c == '.') {
            lineStart = false;
            continue;
        }
        if (c == '\r' && i + 1 < smtpContent.size() && smtpContent[i + 1] == '\n')
            continue;
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

// Waits for a new file in the user's Maildir/new; its bytes.
std::string waitForDelivery(const std::string& user, const std::vector<std::string>& before)
{
    std::string folder = instancePath("mail/" + user + "/new");
    for (int i = 0; i < 200; ++i) {
        for (const std::string& name : testsupport::listFolder(folder)) {
            if (std::find(before.begin(), before.end(), name) == before.end())
                return testsupport::readFile(folder + "\\" + name);
        }
        Sleep(50);
    }
    return "";
}

struct Sender {
    Dll dll{"postgate.dll"};
    testsupport::TestDir dir;
    std::string folder = dir.subdir("out");
    std::string log = dir.file("smtp.log");
    smtptest::ProgressWindow window;

    Pairs send(const std::string& envelope, const std::string& message)
    {
        auto init = dll.get<InitSmtpMail>("initSmtpMail");
        auto connect = dll.get<ConnectToHost>("ConnectToHost");
        EXPECT_TRUE(init && connect);
        if (!init || !connect)
            return {};
        testsupport::writeFile(dir.file("env.txt"), envelope);
        testsupport::writeFile(dir.file("msg.txt"), message);
        init(static_cast<HWND>(window.handle()), 1, folder.c_str(), "localhost", "127.0.0.1",
             log.c_str(), 9, TARN_POSTFIX_PORT, "sender.test");
        EXPECT_EQ(connect(dir.file("env.txt").c_str(), dir.file("msg.txt").c_str()), 1);
        Pairs pairs = window.waitForEnd(1, 60000);
        Sleep(100);
        return pairs;
    }
};

TEST(PostfixSystem, MessageIsDeliveredByteForByte)
{
    Sender s;
    std::string body;
    for (int i = 0; i < 60; ++i)
        body += "line " + std::to_string(i) + " of the body, some text to fill it up\r\n";
    std::string message =
        "Date: Wed, 9 Dec 2026 07:00:00 +0000\r\nMessage-ID: <t1@sender.test>\r\n"
        "From: <a@sender.test>\r\nTo: <alice@tarn.test>\r\nSubject: system test\r\n\r\n" +
        body + "..a line that began with a full stop\r\n\r\nlast line\r\n";
    std::vector<std::string> before = testsupport::listFolder(instancePath("mail/alice/new"));
    Pairs pairs = s.send("<a@sender.test>\r\n<alice@tarn.test>\r\n", message);
    ASSERT_FALSE(pairs.empty());
    EXPECT_EQ(pairs.front(), std::make_pair(0, 1));
    EXPECT_EQ(pairs.back(), std::make_pair(0, 500));
    EXPECT_NE(std::find(pairs.begin(), pairs.end(), std::make_pair(0, 100)), pairs.end());
    EXPECT_NE(std::find(pairs.begin(), pairs.end(), std::make_pair(100, 99)), pairs.end());
    EXPECT_EQ(std::find(pairs.begin(), pairs.end(), std::make_pair(-1, 10)), pairs.end());
    std::string delivered = waitForDelivery("alice", before);
    ASSERT_FALSE(delivered.empty()) << "nothing delivered";
    // Postfix puts its own headers (Return-Path, Delivered-To, Received)
    // in front; from our first header on the bytes are ours.
    std::size_t ours = delivered.find("Date: Wed, 9 Dec 2026");
    ASSERT_NE(ours, std::string::npos) << delivered;
    // The session adds "\r\n" before the end-of-data line: one empty line.
    EXPECT_EQ(delivered.substr(ours), asDelivered(message) + "\n");
    EXPECT_FALSE(testsupport::fileExists(s.folder + "\\smtp.bad"));
}

TEST(PostfixSystem, RecipientRejectedByTheAccessMapIsRecorded)
{
    Sender s;
    std::vector<std::string> before = testsupport::listFolder(instancePath("mail/bob/new"));
    Pairs pairs = s.send("<a@sender.test>\r\n<blocked@tarn.test>\r\n<bob@tarn.test>\r\n",
                         "Subject: refusal\r\n\r\nfor bob\r\n");
    EXPECT_EQ(pairs, (Pairs{{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10},
                            {0, 500}}));
    EXPECT_EQ(testsupport::readFile(s.folder + "\\smtp.bad"),
              "I said: RCPT TO: <blocked@tarn.test>\r\n Mailserver said: 554 5.7.1 "
              "<BLOCKED@TARN.TEST>: RECIPIENT ADDRESS REJECTED: NO SUCH USER HERE\r\n");
    EXPECT_NE(waitForDelivery("bob", before).find("for bob"), std::string::npos);
}

TEST(PostfixSystem, EtrnForAFastFlushDomainWithThePortFromTheRegistry)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\tarnwick\\ports", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::string port = std::to_string(TARN_POSTFIX_PORT);
    RegSetValueExA(key, "smtp_out", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                   static_cast<DWORD>(port.size() + 1));
    Dll dll("qflush.dll");
    auto flush = dll.get<QFlush>("Q_FLUSH");
    ASSERT_NE(flush, nullptr);
    std::string logPath = instancePath("maillog");
    std::size_t start = testsupport::readFile(logPath).size();
    EXPECT_EQ(flush("no.such.host.invalid", "127.0.0.1", "flush.test"), 0);
    std::string log;
    for (int i = 0; i < 200; ++i) {
        log = testsupport::readFile(logPath).substr(start);
        if (log.find("etrn=1 quit=1") != std::string::npos)
            break;
        Sleep(50);
    }
    RegDeleteValueA(key, "smtp_out");
    RegCloseKey(key);
    EXPECT_NE(log.find(": ETRN flush.test"), std::string::npos) << log;
    EXPECT_NE(log.find(": 250 Queuing started"), std::string::npos) << log;
    EXPECT_NE(log.find("ehlo=1 etrn=1 quit=1"), std::string::npos) << log;
}

}  // namespace
