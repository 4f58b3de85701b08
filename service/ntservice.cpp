#include "ntservice.h"

#include <cstring>

NTService* theService = nullptr;

namespace {

constexpr DWORD kStartAttempts = 13;       // attempts 0..12 to find the window
constexpr DWORD kStartAttemptMs = 5000;    // between two attempts
constexpr DWORD kRunPollMs = 250;          // run loop and the wait for the window to go
constexpr DWORD kGraceBeforeEndMs = 2500;  // after the window has gone
constexpr DWORD kLaunchSettleMs = 30000;   // bound on the wait for the launch thread

HWND findHostWindow() { return FindWindowA(nullptr, kHostWindowTitle); }

void WINAPI handlerEntry(DWORD code)
{
    if (theService)
        theService->control(code);
}

}  // namespace

NTService::NTService()
{
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;                            // 16
    status_.dwCurrentState = SERVICE_STOPPED;                                     // 1
    status_.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;  // 5
    status_.dwWin32ExitCode = 0;
    status_.dwServiceSpecificExitCode = 0;
    status_.dwCheckPoint = 0;
    status_.dwWaitHint = 35000;
    std::strcpy(serviceName_, kServiceName);
    std::strcpy(displayName_, kServiceName);
    serviceMainDone_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

NTService::~NTService()
{
    if (launchThread_)
        CloseHandle(launchThread_);
    if (hostProcess_)
        CloseHandle(hostProcess_);
    if (serviceMainDone_)
        CloseHandle(serviceMainDone_);
}

void NTService::waitForServiceMain(DWORD timeoutMs)
{
    if (serviceMainDone_)
        WaitForSingleObject(serviceMainDone_, timeoutMs);
}

void NTService::report()
{
    // One copy, so that the record handed over and the one traced are the
    // same even while the control handler changes the state.
    SERVICE_STATUS now = status_;
    SetServiceStatus(statusHandle_, &now);
    traceStatusReport(now);
}

void NTService::serviceMain()
{
    status_.dwCurrentState = SERVICE_START_PENDING;
    statusHandle_ = RegisterServiceCtrlHandlerA(serviceName_, handlerEntry);
    if (statusHandle_) {
        status_.dwWin32ExitCode = static_cast<DWORD>(runService());
        status_.dwCurrentState = SERVICE_STOPPED;
        report();
    }
    SetEvent(serviceMainDone_);
}

void NTService::control(DWORD code)
{
    switch (code) {
    case SERVICE_CONTROL_STOP:
        stopRequested_ = true;
        status_.dwCurrentState = SERVICE_STOP_PENDING;
        report();
        break;
    case SERVICE_CONTROL_INTERROGATE:
        report();
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        stopRequested_ = true;
        break;
    default:  // pause, continue and the rest: nothing
        break;
    }
    report();
}

// The start-up block the host is created with: 68 bytes in the 32-bit
// build; the 64-bit platform's block holds pointer-sized fields and is 104.
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104), "start-up block size");

DWORD WINAPI NTService::launchHost(void* self)
{
    try {
        NTService* service = static_cast<NTService*>(self);
        char commandLine[sizeof kHostCommandLine];
        std::memcpy(commandLine, kHostCommandLine, sizeof commandLine);  // CreateProcessA writes to it
        STARTUPINFOA startup;
        std::memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_FORCEONFEEDBACK;
        PROCESS_INFORMATION created;
        if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                            nullptr, nullptr, &startup, &created))
            return 0;  // not reported: the start-up wait finds no window
        CloseHandle(created.hThread);
        service->hostProcess_ = created.hProcess;
        service->hostProcessId_ = created.dwProcessId;
    } catch (...) {
    }
    return 0;
}

void NTService::endHost()
{
    if (launchThread_)
        WaitForSingleObject(launchThread_, kLaunchSettleMs);
    if (hostProcess_)
        TerminateProcess(hostProcess_, 0);  // fails harmlessly when it has ended
}

int NTService::runService()
{
    status_.dwCurrentState = SERVICE_START_PENDING;
    report();

    launchThread_ = CreateThread(nullptr, 0, launchHost, this, 0, nullptr);

    // Start-up wait: at most 13 attempts, about 65 seconds.
    HWND window = nullptr;
    for (DWORD attempt = 0; attempt < kStartAttempts && !window; ++attempt) {
        status_.dwCurrentState = SERVICE_START_PENDING;
        report();
        Sleep(kStartAttemptMs);
        window = findHostWindow();
    }
    if (window) {
        status_.dwCurrentState = SERVICE_RUNNING;
        report();
    }

    // Run loop: ends on a stop or shutdown control, soon after the window
    // has gone, or at once when it never came.
    while (!stopRequested_) {
        if (!findHostWindow())
            stopRequested_ = true;
        Sleep(kRunPollMs);
    }

    // Shutdown handshake: both messages are sent and waited for; then the
    // host is given all the time it needs to close its window.
    if (window) {
        SendMessageA(window, WM_USER, 0, 0);      // 1024
        SendMessageA(window, WM_USER - 1, 0, 0);  // 1023
        while (findHostWindow())
            Sleep(kRunPollMs);
    }

    Sleep(kGraceBeforeEndMs);
    endHost();

    status_.dwCurrentState = SERVICE_STOPPED;
    report();
    return -1;
}
