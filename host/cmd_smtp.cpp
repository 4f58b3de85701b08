// Subcommands send-mail and send-to: hand one message to an SMTP relay with
// postgate.dll, as a host does: initSmtpMail with its own window,
// ConnectToHost with an envelope file and a message file, then follow the
// session to its last pair, however long that takes (smtpfollow.h), and
// report what the relay refused from "smtp.bad".
//
// Subcommand etrn: asks a server with qflush.dll to deliver the mail it
// holds for a domain, and waits for the library's worker thread to end,
// however long that takes (the library reports nothing else).
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "options.h"
#include "registryports.h"
#include "report.h"
#include "sessionwait.h"
#include "smtpfollow.h"

#include <tlhelp32.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

// The records of "smtp.bad": "I said: <command> Mailserver said: <reply>",
// both ending in CR LF; a reply may hold several lines.
void printRefusals(const std::string& path)
{
    std::string bytes;
    readWholeFile(path, bytes);
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
        std::string reply = chomp(bytes.substr(replyStart, replyEnd - replyStart));
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
    long port = 25;
    std::string helo = "localhost";
    std::string folder = ".";
    std::string logFile;
    long level = 9;
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
        if (auto destroy = dll.get<postgate::DestroyIt>("DestroyIt"))
            destroy();
        if (window)
            DestroyWindow(window);
    }
    bool usable() const
    {
        if (!window)
            errorLine("cannot create the progress window");
        return init && connect && window;
    }
};

int sendOne(Sender& sender, const SendSettings& s, const std::string& envelope,
            const std::string& message)
{
    if (!sender.initialised) {
        std::string address = isAddress(s.relay) ? s.relay : "";
        sender.init(sender.window, contract::kEventBase, s.folder.c_str(), s.relay.c_str(),
                    address.c_str(), s.logFile.c_str(), static_cast<int>(s.level),
                    static_cast<int>(s.port), s.helo.c_str());
        sender.initialised = true;
    }
    int rc = sender.connect(envelope.c_str(), message.c_str());
    if (rc != 1)
        return failure("ConnectToHost did not start a session (%d)", rc);
    SmtpWatch watch =
        followSmtpSession(sender.window, contract::kEventBase, fileSizeOf(message));
    if (watch.refusals()) {
        std::printf("refusals recorded in %s\\smtp.bad:\n", s.folder.c_str());
        printRefusals(s.folder + "\\smtp.bad");
    }
    if (!watch.delivered())
        return failure("message not delivered; the session log is %s", s.logFile.c_str());
    std::printf("message accepted by the relay%s\n",
                watch.refusals() ? " for the recipients it did not refuse" : "");
    return watch.refusals() ? kExitFailed : kExitDone;
}

// The settings of either form. The old one lists them all:
//   <relay> <port> <helo> <folder> <log> <level> then the rest;
// the named one: <relay> then the rest, with --port, --helo, --folder,
// --log and --level, -v or -q. Leaves the rest in rest.
int parseSettings(const char* command, const Args& args, std::size_t oldRest, std::size_t newRest,
                  bool moreAllowed, SendSettings& s, Args& rest)
{
    CommandLine line(args, {{"--port", true}, {"--helo", true}, {"--folder", true},
                            {"--log", true}, {"--level", true}, {"-v", false}, {"-q", false}});
    if (!line.error().empty())
        return usageProblem(command, "%s", line.error().c_str());
    const Args& p = line.positional();
    bool old = p.size() >= 2 && !p[1].empty() &&
               p[1].find_first_not_of("0123456789") == std::string::npos;
    std::size_t fixed = old ? 6 : 1;
    std::size_t want = old ? oldRest : newRest;
    if (p.size() < fixed + want || (!moreAllowed && p.size() > fixed + want))
        return usageError(command);
    s.relay = p[0];
    if (old) {
        if (line.has("--port") || line.has("--helo") || line.has("--folder") || line.has("--log"))
            return usageProblem(command, "the long form lists port, helo, folder and log itself");
        if (!line.number(1, "port", 1, 65535, s.port) || !line.level(p[5], 9, s.level))
            return usageProblem(command, "%s", line.error().c_str());
        s.helo = p[2];
        s.folder = p[3];
        s.logFile = p[4];
    } else {
        if (!line.number("--port", 1, 65535, 25, s.port) || !line.level("", 9, s.level))
            return usageProblem(command, "%s", line.error().c_str());
        s.helo = line.value("--helo", s.helo);
        s.folder = line.value("--folder", s.folder);
        s.logFile = line.value("--log", s.folder + "\\smtp.log");
    }
    if (s.helo.empty())
        return usageProblem(command, "the HELO name must not be empty");
    if (!isFolder(s.folder))
        return usageProblem(command, "folder %s does not exist", s.folder.c_str());
    rest.assign(p.begin() + static_cast<long>(fixed), p.end());
    return kExitDone;
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
    SendSettings s;
    Args files;  // the envelope, then the messages
    if (int rc = parseSettings("send-mail", args, 2, 2, true, s, files))
        return rc;
    for (const std::string& f : files) {
        if (fileSizeOf(f) < 0)
            return usageProblem("send-mail", "cannot find the file %s", f.c_str());
    }
    Sender sender;
    if (!sender.usable())
        return kExitFailed;
    if (files.size() == 2)
        return sendOne(sender, s, files[0], files[1]);
    // Several message files: one session each, one after the other.
    int failed = 0;
    for (std::size_t i = 1; i < files.size(); ++i) {
        std::printf("--- %s (%zu of %zu)\n", files[i].c_str(), i, files.size() - 1);
        failed += sendOne(sender, s, files[0], files[i]) != 0;
    }
    std::printf("%zu messages, %d not delivered\n", files.size() - 1, failed);
    return failed == 0 ? kExitDone : kExitFailed;
}

int cmdSendTo(const Args& args)
{
    SendSettings s;
    Args rest;  // sender, recipients, file
    if (int rc = parseSettings("send-to", args, 3, 3, false, s, rest))
        return rc;
    std::string envelope = angled(rest[0]) + "\r\n";
    std::size_t start = 0;
    int recipients = 0;
    while (start <= rest[1].size()) {
        std::size_t comma = rest[1].find(',', start);
        std::string r = rest[1].substr(start, comma == std::string::npos ? std::string::npos
                                                                         : comma - start);
        if (!r.empty()) {
            envelope += angled(r) + "\r\n";
            ++recipients;
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (recipients == 0)
        return usageProblem("send-to", "no recipient given");
    std::string text;
    if (!readWholeFile(rest[2], text))
        return usageProblem("send-to", "cannot read the message file %s", rest[2].c_str());
    std::string envelopePath = s.folder + "\\outgoing.env";
    std::string messagePath = s.folder + "\\outgoing.msg";
    if (!writeWholeFile(envelopePath, envelope) || !writeWholeFile(messagePath, smtpContent(text)))
        return failure("cannot write the envelope and message files in %s", s.folder.c_str());
    std::printf("envelope %s (%d recipient%s), message %s\n", envelopePath.c_str(), recipients,
                recipients == 1 ? "" : "s", messagePath.c_str());
    Sender sender;
    if (!sender.usable())
        return kExitFailed;
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

}  // namespace

int cmdEtrn(const Args& args)
{
    if (args.size() < 2 || args.size() > 3)
        return usageError("etrn");
    if (args.size() == 3) {
        long port;
        if (!parseNumber(args[2], 1, 65535, port))
            return usageProblem("etrn", "port must be a whole number from 1 to 65535, not '%s'",
                                args[2].c_str());
        if (!writePortValue(contract::kSmtpPortValue, static_cast<int>(port)))
            return kExitFailed;
    }
    Library dll("qflush.dll", Library::KeepLoaded);
    auto flush = dll.get<qflush::QFlush>("Q_FLUSH");
    if (!flush)
        return kExitFailed;
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
    // qflush reports neither a refusal nor an acceptance.
    std::printf("session over (the server's answer is in its own log)\n");
    return kExitDone;
}
