// Subcommand fetch-pop: fetches a POP3 mailbox into numbered message files
// with tarnpop.dll, as a host does: initPopMail with its own window,
// getPopMail, then pumps messages and shows each progress pair as a line
// until the session's last pair, (0, 500) or a set-up failure, however long
// that takes. Then every message file goes where it is kept
// (keptmessages.h), and a folder that still holds message files of an
// earlier session gets no new session.
#include "commands.h"
#include "keptmessages.h"
#include "library.h"
#include "sessionwait.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kEventBase = WM_USER;  // progress messages: WM_USER + 1023

std::string bar(int done, int total)
{
    const int width = 20;
    int filled = total > 0 ? done * width / total : width;
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
}

struct Progress {
    bool connected = false;
    bool complete = false;  // QUIT accepted
    bool failed = false;    // a failure pair came
    int count = 0;
    int lastStarted = 0;    // n of the latest (n, 5)

    // Prints the pair; true when it is the session's last.
    bool show(int w, int l)
    {
        if (l == 1 && w == 0) {
            connected = true;
            std::printf("connected\n");
        } else if (l == 2) {
            std::printf("password accepted\n");
        } else if (l == 4) {
            count = w;
            std::printf("%d message%s\n", w, w == 1 ? "" : "s");
        } else if (l == 5) {
            lastStarted = w;
            std::printf("retrieving %d of %d %s\n", w, count, bar(w - 1, count).c_str());
        } else if (l == 10) {
            complete = true;
            std::printf("quit accepted %s\n", bar(count, count).c_str());
        } else if (l == 500) {
            std::printf("session over\n");
            return true;
        } else if (l == -1000) {
            failed = true;
            std::printf("failed: the socket could not be set up (%d, %d)\n", w, l);
            return true;
        } else if (l == -1) {
            failed = true;
            const char* what = "failed";
            switch (w) {
            case 50: what = "greeting not accepted"; break;
            case 2: what = "user name refused"; break;
            case 3: what = "password refused"; break;
            case 4: what = "STAT or DELE refused"; break;
            case 100: what = connected ? "no data for 120 seconds" : "connect failed"; break;
            case 101: what = "receive error or connection reset"; break;
            }
            std::printf("failed: %s (%d, %d)\n", what, w, l);
            return w == 100 && !connected;
        } else {
            std::printf("progress (%d, %d)\n", w, l);
        }
        std::fflush(stdout);
        return false;
    }

    // Whether message n was stored whole. The session asks for message n + 1
    // only after the server accepted the deletion of n, which it sends only
    // after n's file was closed; the last message counts only when the
    // session ran to its normal end. Limit: a file of the last message that
    // failed in writing while the session still ended normally would count.
    bool storedWhole(int n) const
    {
        return n < lastStarted ||
               (n == lastStarted && complete && !failed && lastStarted == count);
    }
};

std::string fileList(const std::vector<int>& numbers)
{
    std::string text;
    for (std::size_t i = 0; i < numbers.size() && i < 5; ++i)
        text += (i ? ", " : "") + std::to_string(numbers[i]) + ".msg";
    if (numbers.size() > 5)
        text += " and " + std::to_string(numbers.size() - 5) + " more";
    return text;
}

}  // namespace

int cmdFetchPop(const Args& args)
{
    if (args.size() < 6 || args.size() > 7)
        return usageError("fetch-pop");
    const std::string& folder = args[0];
    const std::string& hostName = args[1];
    std::string address = args[2] == "-" ? "" : args[2];
    int level = args.size() == 7 ? std::atoi(args[6].c_str()) : 9;

    // The session would write over these, and their messages are gone from
    // the server.
    std::vector<int> left = messageFileNumbers(folder);
    if (!left.empty()) {
        std::fprintf(stderr,
                     "tarnwick: %s still holds message files of an earlier session (%s); a new "
                     "session would write over them, so none is started. Move them out of the "
                     "folder first (fetch-pop keeps what it fetched in %s).\n",
                     folder.c_str(), fileList(left).c_str(), receivedFolder(folder).c_str());
        return 1;
    }
    if (!prepareKeepFolders(folder))
        return 1;
    std::string stamp = sessionStamp({receivedFolder(folder), incompleteFolder(folder)});
    if (stamp.empty()) {
        std::fprintf(stderr, "tarnwick: no unused name left for this second in %s\n",
                     receivedFolder(folder).c_str());
        return 1;
    }

    Library dll("tarnpop.dll", Library::KeepLoaded);
    auto init = dll.get<tarnpop::InitPopMail>("initPopMail");
    auto get = dll.get<tarnpop::GetPopMail>("getPopMail");
    if (!init || !get)
        return 1;
    HWND window = CreateWindowA("STATIC", "tarnwick fetch-pop", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        std::fprintf(stderr, "tarnwick: cannot create the progress window\n");
        return 1;
    }
    init(window, kEventBase, folder.c_str(), hostName.c_str(), address.c_str(), args[5].c_str(),
         level);
    int rc = get(args[3].c_str(), args[4].c_str());
    if (rc == -1000) {
        std::fprintf(stderr, "tarnwick: getPopMail says the library is not initialised\n");
        DestroyWindow(window);
        return 1;
    }

    Progress progress;
    waitForLastPair(window, kEventBase, [&](int w, int l) { return progress.show(w, l); });
    std::fflush(stdout);
    DestroyWindow(window);

    std::vector<KeptFile> kept =
        keepMessageFiles(folder, stamp, [&](int n) { return progress.storedWhole(n); });
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
    int endedAt = progress.complete ? progress.lastStarted : progress.lastStarted - 1;
    for (int n = 1; n <= endedAt; ++n) {
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
    else if (progress.complete)
        std::printf("no message kept\n");
    bool ok = progress.complete && !progress.failed && allMoved &&
              static_cast<int>(kept.size()) == whole;
    return ok ? 0 : 1;
}

// Subcommand pop-port: stores the POP3 server port where tarnpop reads it,
// the string value "pop_out" of HKEY_LOCAL_MACHINE\software\tarnwick\ports;
// without an argument prints the stored value.
int cmdPopPort(const Args& args)
{
    if (args.size() > 1)
        return usageError("pop-port");
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\tarnwick\\ports", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "tarnwick: cannot open software\\tarnwick\\ports\n");
        return 1;
    }
    int rc = 0;
    if (args.empty()) {
        char text[64] = {};
        DWORD size = sizeof text - 1;
        if (RegQueryValueExA(key, "pop_out", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                             &size) == ERROR_SUCCESS)
            std::printf("pop_out = %s\n", text);
        else
            std::printf("pop_out not set (port 110)\n");
    } else {
        const std::string& v = args[0];
        if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos ||
            std::atoi(v.c_str()) < 1 || std::atoi(v.c_str()) > 65535) {
            std::fprintf(stderr, "tarnwick: port must be 1 to 65535\n");
            rc = 2;
        } else if (RegSetValueExA(key, "pop_out", 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(v.c_str()),
                                  static_cast<DWORD>(v.size() + 1)) != ERROR_SUCCESS) {
            std::fprintf(stderr, "tarnwick: cannot write pop_out\n");
            rc = 1;
        } else {
            std::printf("pop_out = %s\n", v.c_str());
        }
    }
    RegCloseKey(key);
    return rc;
}
