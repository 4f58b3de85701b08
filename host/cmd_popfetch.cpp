// Subcommand fetch-pop: fetches a POP3 mailbox into numbered message files
// with tarnpop.dll, as a host does: initPopMail with its own window,
// getPopMail, then pumps messages and shows each progress pair as a line
// until the session's last pair, (0, 500) or a set-up failure, however long
// that takes. Each message file goes where it is kept (keptmessages.h) as
// soon as the pairs show it stored whole, the rest after the session; a
// folder that still holds message files of an earlier session gets no new
// session.
#include "commands.h"
#include "fileutil.h"
#include "keptmessages.h"
#include "library.h"
#include "options.h"
#include "popfollow.h"
#include "registryports.h"
#include "report.h"
#include "secret.h"

#include <cstdio>
#include <string>

namespace {

std::string fileList(const std::vector<int>& numbers)
{
    std::string text;
    for (std::size_t i = 0; i < numbers.size() && i < 5; ++i)
        text += (i ? ", " : "") + std::to_string(numbers[i]) + ".msg";
    if (numbers.size() > 5)
        text += " and " + std::to_string(numbers.size() - 5) + " more";
    return text;
}

struct FetchSettings {
    std::string folder, hostName, address, user, password, logFile;
    long level = 9;
};

// The old form: <folder> <host> <address|-> <user> <password> <log> [level];
// the named one: <folder> <host> --user U --password-env V|--password-file F
// [--address A] [--log FILE] [--level N|-v|-q].
int parseFetch(const Args& args, FetchSettings& s)
{
    CommandLine line(args, {{"--user", true}, {"--password-env", true}, {"--password-file", true},
                            {"--address", true}, {"--log", true}, {"--level", true},
                            {"-v", false}, {"-q", false}});
    const Args& p = line.positional();
    if (!line.error().empty())
        return usageProblem("fetch-pop", "%s", line.error().c_str());
    bool found = false;
    if (int rc = passwordOption("fetch-pop", line, s.password, found))
        return rc;
    if (p.size() == 2) {
        if (!line.has("--user") || !found)
            return usageProblem("fetch-pop", "give --user and --password-env or --password-file");
        s.folder = p[0];
        s.hostName = p[1];
        s.user = line.value("--user");
        s.address = line.value("--address");
        s.logFile = line.value("--log", s.folder + "\\pop.log");
    } else if (p.size() == 6 || p.size() == 7) {
        if (found || line.has("--user") || line.has("--address") || line.has("--log"))
            return usageProblem("fetch-pop", "the long form takes user, password and log in its "
                                             "list; use the named options instead");
        s.folder = p[0];
        s.hostName = p[1];
        s.address = p[2] == "-" ? "" : p[2];
        s.user = p[3];
        s.password = p[4];
        s.logFile = p[5];
    } else {
        return usageError("fetch-pop");
    }
    if (!line.level(p.size() == 7 ? p[6] : "", 9, s.level))
        return usageProblem("fetch-pop", "%s", line.error().c_str());
    return kExitDone;
}

}  // namespace

int cmdFetchPop(const Args& args)
{
    FetchSettings s;
    if (int rc = parseFetch(args, s))
        return rc;
    const std::string& folder = s.folder;
    if (!isFolder(folder))
        return usageProblem("fetch-pop", "<folder>: %s is not a folder", folder.c_str());

    // The session would write over these, and their messages are gone from
    // the server.
    std::vector<int> left = messageFileNumbers(folder);
    if (!left.empty()) {
        return failure("%s still holds message files of an earlier session (%s); a new "
                       "session would write over them, so none is started. Move them out of the "
                       "folder first (fetch-pop keeps what it fetched in %s).",
                       folder.c_str(), fileList(left).c_str(), receivedFolder(folder).c_str());
    }
    if (!prepareKeepFolders(folder))
        return 1;
    std::string stamp = sessionStamp({receivedFolder(folder), incompleteFolder(folder)});
    if (stamp.empty())
        return failure("no unused name left for this second in %s", receivedFolder(folder).c_str());

    Library dll("tarnpop.dll", Library::KeepLoaded);
    auto init = dll.get<tarnpop::InitPopMail>("initPopMail");
    auto get = dll.get<tarnpop::GetPopMail>("getPopMail");
    if (!init || !get)
        return kExitFailed;
    HWND window = CreateWindowA("STATIC", "tarnwick fetch-pop", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return failure("cannot create the progress window: %s",
                       windowsErrorText(GetLastError()).c_str());
    init(window, contract::kEventBase, folder.c_str(), s.hostName.c_str(), s.address.c_str(),
         s.logFile.c_str(), static_cast<int>(s.level));
    int rc = get(s.user.c_str(), s.password.c_str());
    if (rc == -1000) {
        DestroyWindow(window);
        return failure("getPopMail says the library is not initialised");
    }

    MessageKeeper keeper(folder, stamp);
    PopFollowing how;
    how.onStored = [&](int n) { keeper.keepStored(n); };
    PopWatch progress = followPopSession(window, contract::kEventBase, folder, how);
    DestroyWindow(window);

    keeper.keepRest([&](int n) { return progress.storedWhole(n); });
    std::vector<KeptFile> kept = keeper.kept();
    int whole = 0;
    bool allMoved = true;
    for (const KeptFile& k : kept) {
        allMoved = allMoved && k.moved;
        if (k.complete && k.moved)
            ++whole;
        if (!k.complete && k.moved)
            std::printf("message %d may be incomplete (the session did not finish it): kept as %s; "
                        "unless its deletion went through it stays on the server\n",
                        k.number, k.path.c_str());
    }
    // A message the server refused to send has no file: it stays on the
    // server and comes again next session.
    for (int n = 1; n <= progress.finished(); ++n) {
        bool hasFile = false;
        for (const KeptFile& k : kept)
            hasFile = hasFile || k.number == n;
        if (!hasFile)
            std::printf("message %d not retrieved (the server refused it, see the log); it stays "
                        "on the server\n",
                        n);
    }
    if (whole > 0)
        std::printf("%d message%s kept in %s as %s-N.msg\n", whole, whole == 1 ? "" : "s",
                    receivedFolder(folder).c_str(), stamp.c_str());
    else if (progress.complete())
        std::printf("no message kept\n");
    bool ok = progress.complete() && !progress.failed() && allMoved &&
              static_cast<int>(kept.size()) == whole;
    if (!ok)
        return failure("the POP3 session failed; its log is %s", s.logFile.c_str());
    return kExitDone;
}

// Subcommand pop-port: stores the POP3 server port where tarnpop reads it
// (registryports.h); without an argument prints the stored value.
int cmdPopPort(const Args& args)
{
    if (args.size() > 1)
        return usageError("pop-port");
    if (args.empty()) {
        std::string text;
        if (readPortValue(contract::kPopPortValue, text))
            std::printf("pop_out = %s\n", text.c_str());
        else
            std::printf("pop_out not set (port %d)\n", contract::kDefaultPopPort);
        return kExitDone;
    }
    long port;
    if (!parseNumber(args[0], 1, 65535, port))
        return usageProblem("pop-port", "port must be a whole number from 1 to 65535, not '%s'",
                            args[0].c_str());
    return writePortValue(contract::kPopPortValue, static_cast<int>(port)) ? kExitDone : kExitFailed;
}
