// Bad input at Q_FLUSH, called as a host calls it: null pointers, empty
// strings, strings past any sensible width, addresses that do not convert,
// port values in the registry out of range or stored without their NUL.
// Q_FLUSH returns 0 every time, the session's thread ends by itself (no
// hang), and the server gets exactly the bytes the design gives. Q_FLUSH
// takes no window: it posts nothing, so a host without any window is the
// usual case and every row runs from one.
#include "dll.h"
#include "portsetting.h"
#include "processes.h"
#include "scriptserver.h"

#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>

namespace {

using testsupport::ScriptServer;
using testsupport::ScriptStep;

using QFlush = int __stdcall(const char*, const char*, const char*);

std::string localName()
{
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    WSACleanup();
    return name;
}

// Writes smtp_out as bytes of the given type and length; nullopt deletes it.
void setSmtpOut(const std::optional<std::string>& bytes, DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, net::kPortsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (bytes)
        RegSetValueExA(key, "smtp_out", 0, type, reinterpret_cast<const BYTE*>(bytes->data()),
                       static_cast<DWORD>(bytes->size()));
    else
        RegDeleteValueA(key, "smtp_out");
    RegCloseKey(key);
}

// A string argument that may be null.
struct Arg {
    std::optional<std::string> s;
    const char* c() const { return s ? s->c_str() : nullptr; }
};

struct Row {
    const char* name;
    Arg hostName, hostAddress, domain;
    // The bytes stored as smtp_out, from the server's port (port 1 when
    // there is no server: privileged and served by nothing here, so no other
    // program's server can take it meanwhile, as it could a port just
    // released).
    std::function<std::string(int port)> smtpOut;
    bool server;           // a server that plays the whole dialogue
    std::string etrnLine;  // the ETRN command it receives
};

// A string value as the registry editor stores it: its NUL included.
std::string sz(const std::string& text) { return text + std::string(1, '\0'); }
std::string asText(int port) { return sz(std::to_string(port)); }

TEST(QflushBadInput, Table)
{
    testsupport::Dll dll("qflush.dll");
    QFlush* flush = dll.get<QFlush>("Q_FLUSH");
    ASSERT_NE(flush, nullptr);
    const std::string ehlo = "EHLO " + localName() + "\r\n";
    const std::string huge(5000, 'd');
    const Arg none{};
    const Arg empty{std::string()};
    const Arg loopback{std::string("127.0.0.1")};
    const Arg unused{std::string("no.such.host.invalid")};
    const Arg domain{std::string("example.org")};
    const std::vector<Row> rows = {
        // ---- Null pointers and empty strings.
        {"every argument null: nothing to connect to", none, none, none, asText, false, ""},
        {"every argument empty", empty, empty, empty, asText, false, ""},
        {"null host name beside an address: not looked up", none, loopback, domain, asText, true,
         "ETRN example.org\r\n"},
        {"null domain: ETRN without an argument", unused, loopback, none, asText, true, "ETRN \r\n"},
        {"empty domain", unused, loopback, empty, asText, true, "ETRN \r\n"},
        // ---- Strings past any width.
        {"domain of 5000 characters, sent whole", unused, loopback, Arg{huge}, asText, true,
         "ETRN " + huge + "\r\n"},
        {"host name of 5000 characters: the lookup fails", Arg{huge}, empty, domain, asText, false, ""},
        {"address of 5000 characters", unused, Arg{huge}, domain, asText, false, ""},
        {"address that does not convert", unused, Arg{std::string("999.1.2.3")}, domain, asText, false, ""},
        // ---- The port in the registry.
        {"port past 65535: its low 16 bits", unused, loopback, domain,
         [](int port) { return sz(std::to_string(port + 65536)); }, true, "ETRN example.org\r\n"},
        {"negative port: its low 16 bits", unused, loopback, domain,
         [](int port) { return sz(std::to_string(port - 65536)); }, true, "ETRN example.org\r\n"},
        {"port with blanks and a sign before it", unused, loopback, domain,
         [](int port) { return sz("  +" + std::to_string(port)); }, true, "ETRN example.org\r\n"},
        {"port stored without its NUL", unused, loopback, domain,
         [](int port) { return std::to_string(port); }, true, "ETRN example.org\r\n"},
        {"port followed by other text", unused, loopback, domain,
         [](int port) { return sz(std::to_string(port) + "xyz"); }, true, "ETRN example.org\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::set<unsigned long> before = testsupport::ownThreads();
        std::optional<ScriptServer> server;
        if (row.server)
            server.emplace(testsupport::dialogue({"220 ready\r\n", "C:EHLO", "250 mx\r\n", "C:ETRN",
                                                  "250 ok\r\n", "C:QUIT", "221 bye\r\n"}));
        setSmtpOut(row.smtpOut(server ? server->port() : 1));
        EXPECT_EQ(flush(row.hostName.c(), row.hostAddress.c(), row.domain.c()), 0);
        if (server) {
            EXPECT_EQ(server->received(), ehlo + row.etrnLine + "QUIT\r\n");
        }
        if (!testsupport::threadsEnded(before)) {
            setSmtpOut(std::nullopt);
            FAIL() << "the session thread is still running";
        }
    }
    setSmtpOut(std::nullopt);
}

// A port value of another registry type is read as its bytes' text.
TEST(QflushBadInput, PortOfAnotherTypeIsReadAsText)
{
    testsupport::Dll dll("qflush.dll");
    QFlush* flush = dll.get<QFlush>("Q_FLUSH");
    ASSERT_NE(flush, nullptr);
    std::set<unsigned long> before = testsupport::ownThreads();
    ScriptServer server(testsupport::dialogue({"554 no\r\n"}));
    setSmtpOut(sz(std::to_string(server.port())), REG_BINARY);
    EXPECT_EQ(flush("no.such.host.invalid", "127.0.0.1", "example.org"), 0);
    EXPECT_EQ(server.received(), "");
    EXPECT_TRUE(server.accepted());
    EXPECT_TRUE(testsupport::threadsEnded(before));
    setSmtpOut(std::nullopt);
}

}  // namespace
