// Subcommands: dial-up control through tarn32 (TARNDIAL, TARNHANGUP,
// TarnGetConnectStatus, TarnGetDialParams). The dial's progress arrives at a
// hidden window of this thread as 0x401 (wParam state, lParam error) and is
// shown line by line until the connection is up or has failed.
//
// The connection handle lives in tarn32: hangup and dial-status act on the
// dial of the same process, so they belong in one tarnwick AUTO run (or a
// later host session of the same process), not in separate tarnwick calls.
// Their help says so.
#include "commands.h"
#include "library.h"
#include "options.h"
#include "report.h"
#include "secret.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr UINT kDialProgress = contract::kDialProgress;
constexpr int kConnected = contract::kDialConnected;
constexpr int kRasUnavailable = contract::kRasUnavailable;
constexpr std::size_t kNameLimit = contract::kDialNameLimit;

const char* stateName(int state)
{
    static const char* const kNames[] = {
        "opening the port", "port opened", "connecting the device", "device connected",
        "all devices connected", "authenticating", "authentication notice", "authentication retry",
        "callback requested", "password change", "projection", "link speed",
        "authentication acknowledged", "re-authenticating", "authenticated",
        "preparing for callback", "waiting for modem reset", "waiting for callback", "projected",
        "starting authentication", "callback complete", "logging on to the network",
        "sub-entry connected", "sub-entry disconnected"};
    if (state >= 0 && state < static_cast<int>(sizeof kNames / sizeof kNames[0]))
        return kNames[state];
    switch (state) {
    case 0x1000: return "interactive";
    case 0x1001: return "retry authentication";
    case 0x1002: return "callback set by caller";
    case 0x1003: return "password expired";
    case 0x2000: return "connected";
    case 0x2001: return "disconnected";
    default: return "unknown state";
    }
}

// The window the dial's progress is posted to; it queues what arrives.
std::vector<std::pair<int, int>> progress;

LRESULT CALLBACK progressProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    if (msg == kDialProgress) {
        progress.emplace_back(static_cast<int>(w), static_cast<int>(l));
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

HWND makeProgressWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = progressProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TarnwickDialProgress";
    RegisterClassA(&wc);  // fails harmlessly when registered by an earlier dial
    return CreateWindowExA(0, wc.lpszClassName, "tarnwick dial", WS_OVERLAPPED, 0, 0, 10, 10,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

int sayUnavailable() { return failure("the Remote Access Service is not available (rasapi32.dll)"); }

const char* paramsFailure(int r)
{
    switch (r) {
    case -1: return "the Remote Access Service is not available (rasapi32.dll)";
    case -10: return "invalid buffer or entry name";
    case -11: return "the phone book cannot be opened";
    case -12: return "no such entry in the phone book";
    default: return "Remote Access Service error";
    }
}

// Pumps this thread's messages and shows the progress; 0 once connected.
int followDial(const std::string& entry, DWORD seconds)
{
    DWORD start = GetTickCount();
    std::size_t shown = 0;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&m);
        for (; shown < progress.size(); ++shown) {
            auto [state, error] = progress[shown];
            if (error != 0) {
                std::printf("  %-6d %s: error %d\n", state, stateName(state), error);
                return failure("dialing %s failed", entry.c_str());
            }
            std::printf("  %-6d %s\n", state, stateName(state));
            if (state == kConnected) {
                std::printf("connected to %s\n", entry.c_str());
                return 0;
            }
        }
        if (GetTickCount() - start > seconds * 1000)
            return failure("no connection to %s within %lu seconds", entry.c_str(),
                           static_cast<unsigned long>(seconds));
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
}

}  // namespace

int cmdDial(const Args& args)
{
    // <entry> [<user> <password>] [seconds], or <entry> with --user,
    // --password-env or --password-file and --wait.
    CommandLine line(args, {{"--user", true}, {"--password-env", true}, {"--password-file", true},
                            {"--wait", true}});
    const Args& p = line.positional();
    if (!line.error().empty())
        return usageProblem("dial", "%s", line.error().c_str());
    if (p.empty() || p.size() > 4)
        return usageError("dial");
    const std::string& entry = p[0];
    std::string userName, password;
    bool passwordGiven = false;
    if (int rc = passwordOption("dial", line, password, passwordGiven))
        return rc;
    bool listed = p.size() >= 3;  // user and password in the list
    if (listed && (passwordGiven || line.has("--user")))
        return usageProblem("dial", "give user and password either in the list or by name");
    if (listed) {
        userName = p[1];
        password = p[2];
        passwordGiven = true;
    } else {
        userName = line.value("--user");
    }
    if (passwordGiven != (listed || line.has("--user")))
        return usageProblem("dial", "give the user name and the password together");
    long seconds = 60;
    bool secondsListed = p.size() == 2 || p.size() == 4;
    if (secondsListed && line.has("--wait"))
        return usageProblem("dial", "give the seconds once");
    if (secondsListed ? !line.number(p.size() - 1, "seconds", 1, 86400, seconds)
                      : !line.number("--wait", 1, 86400, 60, seconds))
        return usageProblem("dial", "%s", line.error().c_str());
    if (userName.size() > kNameLimit || password.size() > kNameLimit)
        return usageProblem("dial", "the %s is longer than %u characters",
                            userName.size() > kNameLimit ? "user name" : "password",
                            static_cast<unsigned>(kNameLimit));
    bool credentialsGiven = passwordGiven;

    Library dll("tarn32.dll");
    auto dial = dll.get<tarn32::Dial>("TARNDIAL");
    auto params = dll.get<tarn32::DialParams>("TarnGetDialParams");
    if (!dial || !params)
        return kExitFailed;
    // The Remote Access Service may still call tarn32's notification after
    // this subcommand: tarn32 stays loaded for the life of the process.
    LoadLibraryA("tarn32.dll");

    char user[kNameLimit + 1] = "";
    char secret[kNameLimit + 1] = "";
    if (credentialsGiven) {
        std::snprintf(user, sizeof user, "%s", userName.c_str());
        std::snprintf(secret, sizeof secret, "%s", password.c_str());
    } else {
        int r = params(entry.c_str(), user, secret);
        if (r != 0)
            return failure("no stored credentials for %s: %s (%d)", entry.c_str(), paramsFailure(r), r);
    }

    HWND window = makeProgressWindow();
    if (!window)
        return failure("cannot create the progress window: %s",
                       windowsErrorText(GetLastError()).c_str());
    progress.clear();
    int handle = static_cast<int>(reinterpret_cast<INT_PTR>(window));
    std::printf("dialing %s as %s\n", entry.c_str(), user);
    int r = dial(&handle, 0, entry.c_str(), user, secret, 0);
    int rc = kExitFailed;
    if (r == kRasUnavailable)
        sayUnavailable();
    else if (r != 0)
        errorLine("dialing %s refused: Remote Access Service error %d", entry.c_str(), r);
    else
        rc = followDial(entry, static_cast<DWORD>(seconds));
    DestroyWindow(window);
    return rc;
}

int cmdHangUp(const Args& args)
{
    if (!args.empty())
        return usageError("hangup");
    Library dll("tarn32.dll");
    auto hangUp = dll.get<tarn32::HangUp>("TARNHANGUP");
    if (!hangUp)
        return kExitFailed;
    int r = hangUp();
    if (r == kRasUnavailable)
        return sayUnavailable();
    if (r != 0) {
        errorLine("hang-up failed: Remote Access Service error %d", r);
        return failure("hangup acts on a dial of this same process (tarnwick help hangup)");
    }
    std::printf("hung up\n");
    return kExitDone;
}

int cmdDialStatus(const Args& args)
{
    if (!args.empty())
        return usageError("dial-status");
    Library dll("tarn32.dll");
    auto status = dll.get<tarn32::ConnectStatus>("TarnGetConnectStatus");
    if (!status)
        return kExitFailed;
    int error = 0, state = 0;
    int r = status(&error, &state);
    if (r == kRasUnavailable)
        return sayUnavailable();
    if (r != 0) {
        errorLine("no connection status: Remote Access Service error %d", r);
        return failure("dial-status reads a dial of this same process (tarnwick help dial-status)");
    }
    std::printf("connection state %d (%s), error %d\n", state, stateName(state), error);
    return 0;
}

int cmdDialParams(const Args& args)
{
    if (args.size() != 1)
        return usageError("dial-params");
    Library dll("tarn32.dll");
    auto params = dll.get<tarn32::DialParams>("TarnGetDialParams");
    if (!params)
        return kExitFailed;
    char user[kNameLimit + 1] = "";
    char password[kNameLimit + 1] = "";
    int r = params(args[0].c_str(), user, password);
    if (r != 0)
        return failure("%s: %s (%d)", args[0].c_str(), paramsFailure(r), r);
    std::size_t n = std::string(password).size();
    std::printf("%s: user %s, ", args[0].c_str(), *user ? user : "(none)");
    if (n)
        std::printf("password stored (%u characters)\n", static_cast<unsigned>(n));
    else
        std::printf("no password stored\n");
    return 0;
}
