// tarnsvc's service object: the status record it reports to the service
// control manager, the control handler, and the service's run: launching the
// host application with AUTO, waiting for its window, watching it, and the
// shutdown handshake with it.
//
// The host application is found and steered only through its top-level
// window titled "roziradedeze39"; what it does on the messages 1024 and 1023
// is its own affair. The command line and installation live in install.cpp
// and main.cpp.
#pragma once

#include <windows.h>

#include <atomic>

// Service name and display name (installed, opened and dispatched by it).
inline constexpr char kServiceName[] = "Tarnwick Mail Server";
// Title of the host application's main window.
inline constexpr char kHostWindowTitle[] = "roziradedeze39";
// Command line the host is started with (found by the program search order,
// which looks in the service program's folder first).
inline constexpr char kHostCommandLine[] = "tarnwick.exe AUTO";

class NTService {
public:
    NTService();
    virtual ~NTService();
    NTService(const NTService&) = delete;
    NTService& operator=(const NTService&) = delete;

    char* serviceName() { return serviceName_; }
    DWORD currentState() const { return status_.dwCurrentState; }
    bool stopRequested() const { return stopRequested_; }
    const char* displayName() const { return displayName_; }

    // Service main procedure, run by the dispatcher on a thread of its own:
    // registers the control handler (returns at once, reporting nothing,
    // when that fails), runs runService and reports SERVICE_STOPPED with its
    // result as the Win32 exit code.
    void serviceMain();

    // Waits (at most timeoutMs) until serviceMain has returned. The
    // dispatcher returns as soon as the first SERVICE_STOPPED is reported,
    // while the service thread still makes its last report through this
    // object: it must not be deleted before that.
    void waitForServiceMain(DWORD timeoutMs);

    // Control handler: stop and shutdown set stopRequested (stop also moves
    // to SERVICE_STOP_PENDING and reports), interrogate reports; every
    // control then reports once more.
    void control(DWORD code);

    // The whole run, from the first start-pending report to the first
    // SERVICE_STOPPED report. Always returns -1.
    int runService();

private:
    // Hands the whole status record, with its current values, to the
    // service control manager. The only place a status is reported.
    void report();

    // Creates the host process; run on the launch thread.
    static DWORD WINAPI launchHost(void* self);
    // Waits for the launch thread (it only creates a process) so that the
    // process handle is settled, then ends the host process.
    void endHost();

    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    // The platform's service status record, in its own order. Written by the
    // service thread and by the control handler (stop sets the state).
    SERVICE_STATUS status_;
    char serviceName_[257];
    char displayName_[257];
    // Set by the control handler (stop, shutdown) or by the run loop when the
    // host window has gone; polled by the run loop every 250 ms.
    std::atomic<bool> stopRequested_{false};

    // Set by the launch thread; read by the service thread after the launch
    // thread has ended.
    HANDLE hostProcess_ = nullptr;
    DWORD hostProcessId_ = 0;
    HANDLE launchThread_ = nullptr;  // service thread only
    HANDLE serviceMainDone_;         // set when serviceMain returns
};

// The one instance of the process, for the dispatcher's callbacks.
extern NTService* theService;

// Called after every status report in the traced test build; does nothing
// in the shipped program (statustrace.cpp / nostatustrace.cpp).
void traceStatusReport(const SERVICE_STATUS& status);
