// Subcommand fetch-pop: fetches a POP3 mailbox into numbered message files
// with tarnpop.dll, as a host does: initPopMail with its own window,
// getPopMail, then pumps messages and shows each progress pair as a line
// until the session's last pair, (0, 500) or a set-up failure.
#include "commands.h"
#include "library.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kEventBase = WM_USER;  // progress messages: WM_USER + 1023
constexpr DWORD kQuietLimitMs = 300000;  // the session's own wait is 120 s

std::string bar(int done, int total)
{
    const int width = 20;
    int filled = total > 0 ? done * width / total : width;
    return "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
}

struct Progress {
    bool connected = false;
    bool complete = false;  // QUIT accepted
    bool ended = false;
    int count = 0;
    int retrieved = 0;

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
            if (w > 1)
                retrieved = w - 1;
            std::printf("retrieving %d of %d %s\n", w, count, bar(w - 1, count).c_str());
        } else if (l == 10) {
            complete = true;
            retrieved = count;
            std::printf("quit accepted %s\n", bar(count, count).c_str());
        } else if (l == 500) {
            std::printf("session over\n");
            return true;
        } else if (l == -1000) {
            std::printf("failed: the socket could not be set up (%d, %d)\n", w, l);
            return true;
        } else if (l == -1) {
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
        return false;
    }
};

}  // namespace

int cmdFetchPop(const Args& args)
{
    if (args.size() < 6 || args.size() > 7)
        return usageError("fetch-pop");
    const std::string& folder = args[0];
    const std::string& hostName = args[1];
    std::string address = args[2] == "-" ? "" : args[2];
    int level = args.size() == 7 ? std::atoi(args[6].c_str()) : 9;

    Library dll("tarnpop.dll");
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
    DWORD last = GetTickCount();
    while (!progress.ended) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == window && msg.message == static_cast<UINT>(kEventBase + 1023)) {
                last = GetTickCount();
                if (progress.show(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam)))
                    progress.ended = true;
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            if (progress.ended)
                break;
        }
        if (progress.ended)
            break;
        if (GetTickCount() - last > kQuietLimitMs) {
            std::printf("no progress for %lu seconds, giving up\n", kQuietLimitMs / 1000);
            break;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
    }
    std::fflush(stdout);
    // The worker thread leaves the library just after its last pair.
    Sleep(200);
    DestroyWindow(window);
    if (progress.complete)
        std::printf("%d message%s stored in %s\n", progress.retrieved,
                    progress.retrieved == 1 ? "" : "s", folder.c_str());
    return progress.complete ? 0 : 1;
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
