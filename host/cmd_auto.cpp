// tarnwick AUTO: the host running unattended, as the service host starts it.
//
// It keeps one hidden top-level window titled "roziradedeze39" open while it
// runs and does the work of "tarnwick.auto" (autoconfig.h) on a worker
// thread, one step after the other, so that the window always answers the
// messages sent to it. On 1024 it starts no further step; on 1023 it closes
// the window as soon as no step runs (at once when idle), and then ends. A
// "quit" step closes the window by itself.
//
// Everything, the steps' own output included, goes to "tarnwick.log" in the
// folder of tarnwick.exe: unattended, nobody reads a console. A password in
// a step's argument list is masked in the step's log line; the named forms
// (--password-env, --password-file) keep it out of tarnwick.auto as well.
//
// Only one AUTO runs at a time: the service's stop waits for the window of
// that title to go, and a second one would run its own sessions beside the
// first. A second AUTO finds the window and ends at once. Limit: two
// started in the same moment, before either window is up, both run.
#include "autoconfig.h"
#include "commands.h"
#include "hostcontract.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kWindowTitle = contract::kAutoWindowTitle;
constexpr char kWindowClass[] = "TarnwickAutoWindow";
constexpr UINT kStopStarting = contract::kStopStarting;  // 1024
constexpr UINT kCloseWindow = contract::kCloseWindow;    // 1023
constexpr UINT kCloseNow = WM_APP + 1;       // posted to itself
constexpr DWORD kWorkerEndWaitMs = 10000;

// Shared between the window thread and the worker.
HWND autoWindow = nullptr;                // set before the worker starts
std::atomic<bool> stopStarting{false};    // window thread sets, worker reads
std::atomic<bool> closeRequested{false};  // both set
std::atomic<bool> stepRunning{false};     // worker only writes
HANDLE wakeWorker = nullptr;              // signalled on 1024 and 1023
CRITICAL_SECTION logLock;

std::string exeFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n < MAX_PATH ? n : 0);
    std::size_t slash = p.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

// One line of the AUTO log (stdout, reopened on "tarnwick.log"). Checked as
// a printf format, so a pointer-sized argument cannot meet a 32-bit one.
__attribute__((format(printf, 1, 2))) void logLine(const char* format, ...)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    EnterCriticalSection(&logLock);
    std::printf("%04d-%02d-%02d %02d:%02d:%02d.%03d AUTO: %s\n", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, text);
    std::fflush(stdout);
    LeaveCriticalSection(&logLock);
}

// Says why this AUTO does not start, on stderr and in the log it would have
// written.
void refuseStart(const std::string& logPath, const char* why)
{
    std::string text = std::string("tarnwick AUTO: ") + why +
                       ": another tarnwick AUTO runs, this one does not start";
    std::fprintf(stderr, "tarnwick: %s\n", text.c_str() + std::strlen("tarnwick "));
    if (FILE* f = std::fopen(logPath.c_str(), "a")) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        std::fprintf(f, "%04d-%02d-%02d %02d:%02d:%02d.%03d %s (process %lu)\n", t.wYear,
                     t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                     text.c_str(), static_cast<unsigned long>(GetCurrentProcessId()));
        std::fclose(f);
    }
}

// Posts the close to the window unless a step still runs; the worker posts
// it when its step ends.
void closeWhenIdle()
{
    if (closeRequested && !stepRunning)
        PostMessageA(autoWindow, kCloseNow, 0, 0);
}

// Sleeps, but wakes early on 1024 or 1023. False when woken.
bool pauseFor(DWORD ms) { return WaitForSingleObject(wakeWorker, ms) == WAIT_TIMEOUT; }

void runStep(const AutoStep& step)
{
    const std::string& name = step.words[0];
    if (name == "pause") {
        pauseFor(std::stoul(step.words[1]) * 1000);
        return;
    }
    Args args(step.words.begin() + 1, step.words.end());
    logLine("step (line %d): %s", step.line, stepForLog(step.words).c_str());
    int rc = runCommand(*findCommand(name), args);
    logLine("step (line %d) ended with %d", step.line, rc);
}

DWORD WINAPI worker(void* p)
{
    try {
        const AutoConfig& config = *static_cast<const AutoConfig*>(p);
        for (int round = 1;; ++round) {
            if (!config.steps.empty())
                logLine("round %d", round);
            for (const AutoStep& step : config.steps) {
                // Marked running before the flags are read: a 1023 arriving
                // now either sees the step running or is seen here.
                stepRunning = true;
                if (stopStarting || closeRequested) {
                    stepRunning = false;
                    break;
                }
                if (step.words[0] == "quit") {
                    logLine("quit (line %d): closing the window", step.line);
                    closeRequested = true;
                    stepRunning = false;
                    break;
                }
                runStep(step);
                stepRunning = false;
                closeWhenIdle();
            }
            if (config.everySeconds == 0 || stopStarting || closeRequested)
                break;
            if (!pauseFor(config.everySeconds * 1000))
                break;
        }
        stepRunning = false;
        closeWhenIdle();
        logLine("unattended work done");
    } catch (...) {
        stepRunning = false;
        logLine("unattended work ended by an unexpected failure");
        closeWhenIdle();
    }
    return 0;
}

LRESULT CALLBACK windowProc(HWND h, UINT msg, WPARAM w, LPARAM l)
{
    switch (msg) {
    case kStopStarting:
        logLine("received 1024: no further step starts");
        stopStarting = true;
        SetEvent(wakeWorker);
        return 0;
    case kCloseWindow:
        logLine("received 1023: closing the window%s", stepRunning ? " once the step ends" : "");
        stopStarting = true;
        closeRequested = true;
        SetEvent(wakeWorker);
        closeWhenIdle();
        return 0;
    case kCloseNow:
        DestroyWindow(h);
        return 0;
    case WM_DESTROY:
        logLine("window closed at tick %lu", static_cast<unsigned long>(GetTickCount()));
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(h, msg, w, l);
    }
}

// Reads and checks the configuration; unknown subcommands are skipped.
AutoConfig loadConfig(const std::string& path)
{
    AutoConfig config;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        logLine("no %s: no unattended work", path.c_str());
        return config;
    }
    std::string text;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    std::fclose(f);
    config = parseAutoConfig(text);
    for (const std::string& e : config.errors)
        logLine("%s: %s (skipped)", path.c_str(), e.c_str());
    std::vector<AutoStep> known;
    for (AutoStep& s : config.steps) {
        const std::string& name = s.words[0];
        if (name == "pause" || name == "quit" || (name != "AUTO" && findCommand(name)))
            known.push_back(std::move(s));
        else
            logLine("%s: line %d: no subcommand %s (skipped)", path.c_str(), s.line, name.c_str());
    }
    config.steps = std::move(known);
    logLine("%u step%s, %s", static_cast<unsigned>(config.steps.size()),
            config.steps.size() == 1 ? "" : "s",
            config.everySeconds ? ("every " + std::to_string(config.everySeconds) + " s").c_str()
                                : "once");
    return config;
}

// The libraries stay loaded for the whole run, so that what one step sets
// up (an init, a dial) is still there for the next.
void keepLibrariesLoaded()
{
    for (const char* name : {"tarn32.dll", "tarnpop.dll", "postgate.dll", "qflush.dll"}) {
        if (GetFileAttributesA((exeFolder() + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES)
            LoadLibraryA(name);
    }
}

}  // namespace

int cmdAuto(const Args& args)
{
    if (!args.empty())
        return usageError("AUTO");
    const std::string folder = exeFolder();
    const std::string logPath = folder + "\\tarnwick.log";
    if (FindWindowA(nullptr, kWindowTitle)) {
        refuseStart(logPath, "a window titled \"roziradedeze39\" exists");
        return 1;
    }
    std::printf("tarnwick AUTO: running unattended, log in %s\n", logPath.c_str());
    std::fflush(stdout);
    if (!std::freopen(logPath.c_str(), "a", stdout))
        return 1;
    std::freopen(logPath.c_str(), "a", stderr);
    // Every AUTO line and status line flushes, and error lines flush
    // standard output first: buffered, a line is one write to the log.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    InitializeCriticalSection(&logLock);
    logLine("started (process %lu)", static_cast<unsigned long>(GetCurrentProcessId()));

    AutoConfig config = loadConfig(folder + "\\tarnwick.auto");
    keepLibrariesLoaded();

    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    // Top level and never shown.
    autoWindow = CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (!autoWindow) {
        logLine("cannot create the window (error %lu)", GetLastError());
        return 1;
    }
    logLine("window \"%s\" is up at tick %lu", kWindowTitle, static_cast<unsigned long>(GetTickCount()));

    wakeWorker = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, worker, &config, 0, nullptr);
    if (!thread) {
        logLine("cannot start the worker (error %lu)", GetLastError());
        DestroyWindow(autoWindow);
    }

    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }

    // The window closes only when no step runs; the worker is ending.
    stopStarting = true;
    SetEvent(wakeWorker);
    if (thread) {
        WaitForSingleObject(thread, kWorkerEndWaitMs);
        CloseHandle(thread);
    }
    logLine("ended");
    return 0;
}
