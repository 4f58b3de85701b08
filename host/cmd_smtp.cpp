// Subcommands send-mail and send-to: hand one message to an SMTP relay with
// postgate.dll, as a host does: initSmtpMail with its own window,
// ConnectToHost with an envelope file and a message file, then pump
// messages, show the progress pairs (a bar for the content transfer) until
// the session's last pair, however long that takes (sessionwait.h), and
// report what the relay refused from "smtp.bad".
//
// Subcommand etrn: asks a server with qflush.dll to deliver the mail it
// holds for a domain, and waits for the library's worker thread to end,
// however long that takes (the library reports nothing else).
#include "commands.h"
#include "library.h"
#include "sessionwait.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kEventBase = WM_USER;  // progress messages: WM_USER + 1023

std::string bar(int percent)
{
    const int width = 25;
    int filled = percent * width / 100;
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
}

struct SendProgress {
    bool connected = false;
    bool contentSent = false;
    bool notAccepted = false;
    bool refusals = false;
    int refusedRecipients = 0;

    // Prints the pair; true when it is the session's last.
    bool show(int w, int l)
    {
        if (w == 0 && l == 1) {
            connected = true;
            std::printf("connected\n");
        } else if (l == 99) {
            std::printf("\rsending %s %3d%%", bar(w).c_str(), w);
            if (w == 100)
                std::printf("\n");
        } else if (w == 0 && l == 100) {
            contentSent = true;
            std::printf("content sent\n");
        } else if (w == 0 && l == 500) {
            std::printf("session over\n");
            return true;
        } else if (w == 50 && l == 1) {
            std::printf("greeting accepted, HELO sent\n");
        } else if (w == 51 && l == 1) {
            std::printf("sender accepted\n");
        } else if (w == 52 && l == 1) {
            std::printf("all recipients sent\n");
        } else if (w == 52 && l == -1) {
            refusals = true;
            ++refusedRecipients;
            std::printf("a recipient was refused\n");
        } else if (w == 51 && l == -1) {
            refusals = true;
            std::printf("failed: sender refused\n");
        } else if (w == 50 && l == -1) {
            std::printf("failed: greeting not accepted\n");
        } else if (w == -1 && l == 10) {
            notAccepted = true;
            std::printf("failed: the relay did not accept the message\n");
        } else if (w == 0 && l == 10) {
            std::printf("quit accepted\n");
        } else if (w == 10 && l == -1) {
            std::printf("failed: the socket could not be set up\n");
            return true;
        } else if (w == 100 && l == -1) {
            std::printf("failed: %s\n", connected ? "no data for 120 seconds" : "connect failed");
            return !connected;
        } else if (w == 101 && l == -1) {
            std::printf("failed: receive error or connection reset\n");
        } else {
            std::printf("progress (%d, %d)\n", w, l);
        }
        return false;
    }
};

std::string readWhole(const std::string& path)
{
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

bool writeWhole(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The records of "smtp.bad": "I said: <command> Mailserver said: <reply>",
// both ending in CR LF; a reply may hold several lines.
void printRefusals(const std::string& path)
{
    std::string bytes = readWhole(path);
    const std::string said = "I said: ";
    const std::string server = " Mailserver said: ";
    std::size_t at = bytes.find(said);
    while (at != std::string::npos) {
        std::size_t cmdEnd = bytes.find("\r\n" + server, at);
        if (cmdEnd == std::string::npos)
            break;
        std::string command = bytes.substr(at + said.size(), cmdEnd - at - said.size());
        std::size_t replyStart = cmdEnd + 2 + server.size();
        std::size_t next = bytes.find("\r\n" + said, replyStart);
        std::size_t replyEnd = next == std::string::npos ? bytes.size() : next + 2;
        std::string reply = bytes.substr(replyStart, replyEnd - replyStart);
        while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r'))
            reply.pop_back();
        std::printf("  refused: %s\n     relay: %s\n", command.c_str(), reply.c_str());
        at = next == std::string::npos ? std::string::npos : next + 2;
    }
}

bool isAddress(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789.") == std::string::npos;
}

struct SendSettings {
    std::string relay;
    int port = 25;
    std::string helo;
    std::string folder;
    std::string logFile;
    int level = 9;
};

// The library and the progress window of one or more sessions.
struct Sender {
    Library dll{"postgate.dll", Library::KeepLoaded};
    postgate::InitSmtpMail* init = dll.get<postgate::InitSmtpMail>("initSmtpMail");
    postgate::ConnectToHost* connect = dll.get<postgate::ConnectToHost>("ConnectToHost");
    HWND window = CreateWindowA("STATIC", "tarnwick send-mail", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    bool initialised = false;

    ~Sender()
    {
        // A host may call DestroyIt at any time; it releases nothing.
        if (auto destroy = dll.get<void __stdcall()>("DestroyIt"))
            destroy();
        if (window)
            DestroyWindow(window);
    }
    bool usable() const
    {
        if (!window)
            std::fprintf(stderr, "tarnwick: cannot create the progress window\n");
        return init && connect && window;
    }
};

int sendOne(Sender& sender, const SendSettings& s, const std::string& envelope,
            const std::string& message)
{
    if (!sender.initialised) {
        std::string address = isAddress(s.relay) ? s.relay : "";
        sender.init(sender.window, kEventBase, s.folder.c_str(), s.relay.c_str(), address.c_str(),
                    s.logFile.c_str(), s.level, s.port, s.helo.c_str());
        sender.initialised = true;
    }
    HWND window = sender.window;
    int rc = sender.connect(envelope.c_str(), message.c_str());
    if (rc != 1) {
        std::fprintf(stderr, "tarnwick: ConnectToHost did not start a session (%d)\n", rc);
        return 1;
    }
    SendProgress progress;
    waitForLastPair(window, kEventBase, [&](int w, int l) { return progress.show(w, l); });
    std::fflush(stdout);
    if (progress.refusals) {
        std::printf("refusals recorded in %s\\smtp.bad:\n", s.folder.c_str());
        printRefusals(s.folder + "\\smtp.bad");
    }
    bool delivered = progress.contentSent && !progress.notAccepted;
    std::printf("%s\n", delivered ? "message accepted by the relay" : "message not delivered");
    return delivered ? 0 : 1;
}

bool parseSettings(const Args& args, SendSettings& s)
{
    s.relay = args[0];
    s.port = std::atoi(args[1].c_str());
    s.helo = args[2];
    s.folder = args[3];
    s.logFile = args[4];
    s.level = std::atoi(args[5].c_str());
    if (s.port < 1 || s.port > 65535) {
        std::fprintf(stderr, "tarnwick: port must be 1 to 65535\n");
        return false;
    }
    return true;
}

// The file's text as SMTP content: CR LF line ends, an extra full stop
// before every line that begins with one.
std::string smtpContent(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (lineStart && c == '.')
            out += '.';
        if (c == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string angled(const std::string& address)
{
    return !address.empty() && address[0] == '<' ? address : "<" + address + ">";
}

}  // namespace

int cmdSendMail(const Args& args)
{
    if (args.size() < 8)
        return usageError("send-mail");
    SendSettings s;
    if (!parseSettings(args, s))
        return 2;
    Sender sender;
    if (!sender.usable())
        return 1;
    if (args.size() == 8)
        return sendOne(sender, s, args[6], args[7]);
    // Several message files: one session each, one after the other.
    int failed = 0;
    for (std::size_t i = 7; i < args.size(); ++i) {
        std::printf("--- %s\n", args[i].c_str());
        failed += sendOne(sender, s, args[6], args[i]) != 0;
    }
    std::printf("%zu messages, %d not delivered\n", args.size() - 7, failed);
    return failed == 0 ? 0 : 1;
}

int cmdSendTo(const Args& args)
{
    if (args.size() != 9)
        return usageError("send-to");
    SendSettings s;
    if (!parseSettings(args, s))
        return 2;
    std::string envelope = angled(args[6]) + "\r\n";
    std::size_t start = 0;
    int recipients = 0;
    while (start <= args[7].size()) {
        std::size_t comma = args[7].find(',', start);
        std::string r = args[7].substr(start, comma == std::string::npos ? std::string::npos
                                                                         : comma - start);
        if (!r.empty()) {
            envelope += angled(r) + "\r\n";
            ++recipients;
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (recipients == 0) {
        std::fprintf(stderr, "tarnwick: no recipient given\n");
        return 2;
    }
    std::string text = readWhole(args[8]);
    std::string envelopePath = s.folder + "\\outgoing.env";
    std::string messagePath = s.folder + "\\outgoing.msg";
    if (!writeWhole(envelopePath, envelope) || !writeWhole(messagePath, smtpContent(text))) {
        std::fprintf(stderr, "tarnwick: cannot write the envelope and message files in %s\n",
                     s.folder.c_str());
        return 1;
    }
    std::printf("envelope %s (%d recipient%s), message %s\n", envelopePath.c_str(), recipients,
                recipients == 1 ? "" : "s", messagePath.c_str());
    Sender sender;
    if (!sender.usable())
        return 1;
    return sendOne(sender, s, envelopePath, messagePath);
}

namespace {

std::set<DWORD> ownThreads()
{
    std::set<DWORD> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e)) {
        if (e.th32OwnerProcessID == GetCurrentProcessId())
            ids.insert(e.th32ThreadID);
    }
    CloseHandle(snap);
    return ids;
}

bool setSmtpOut(const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\tarnwick\\ports", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(key, "smtp_out", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

}  // namespace

int cmdEtrn(const Args& args)
{
    if (args.size() < 2 || args.size() > 3)
        return usageError("etrn");
    if (args.size() == 3) {
        int port = std::atoi(args[2].c_str());
        if (port < 1 || port > 65535 || args[2].find_first_not_of("0123456789") != std::string::npos) {
            std::fprintf(stderr, "tarnwick: port must be 1 to 65535\n");
            return 2;
        }
        if (!setSmtpOut(args[2])) {
            std::fprintf(stderr, "tarnwick: cannot write smtp_out\n");
            return 1;
        }
        std::printf("smtp_out = %s\n", args[2].c_str());
    }
    Library dll("qflush.dll", Library::KeepLoaded);
    auto flush = dll.get<qflush::QFlush>("Q_FLUSH");
    if (!flush)
        return 1;
    std::string address = isAddress(args[0]) ? args[0] : "";
    std::set<DWORD> before = ownThreads();
    flush(args[0].c_str(), address.c_str(), args[1].c_str());
    // Q_FLUSH returns once its worker thread runs: the new thread is it.
    std::vector<HANDLE> workers;
    for (DWORD id : ownThreads()) {
        if (!before.count(id)) {
            if (HANDLE h = OpenThread(SYNCHRONIZE, FALSE, id))
                workers.push_back(h);
        }
    }
    std::printf("ETRN %s requested at %s\n", args[1].c_str(), args[0].c_str());
    // As for the other sessions, no give-up of the host's own: the session
    // bounds its waits, and the library stays loaded while it runs.
    const DWORD notice = waitNoticeMs();
    for (HANDLE h : workers) {
        for (DWORD waited = notice; WaitForSingleObject(h, notice) == WAIT_TIMEOUT; waited += notice) {
            std::printf("waiting for the session: no progress for %lu s\n",
                        static_cast<unsigned long>(waited / 1000));
            std::fflush(stdout);
        }
        CloseHandle(h);
    }
    std::printf("session over\n");
    return 0;
}
