// WThread: the worker thread of a network session. start() creates a Win32
// thread that calls the entry function with the worker object and returns
// once that thread runs; nothing ever joins it. The entry function's result
// is the thread's exit code. No exception leaves the thread procedure.
#pragma once

namespace net {

class WThread {
public:
    using Entry = int (*)(void* worker);

    WThread() = default;
    virtual ~WThread();  // closes the handle; the thread runs on
    WThread(const WThread&) = delete;
    WThread& operator=(const WThread&) = delete;

    // Starts a thread running entry(worker). Waits until the thread has begun
    // running, then true; false when no thread could be created. A handle of
    // an earlier start is closed (that thread is not affected).
    bool start(void* worker, Entry entry);

    // True while the thread of the last start has not ended.
    bool running() const;

    // Exit code of the last thread once it has ended; -1 while it runs or
    // when none was started. For diagnostics and tests.
    int exitCode() const;

    // Waits until the thread of the last start ends; false on time-out
    // (negative milliseconds wait without limit). The libraries never call
    // this; hosts of the session code in tests do.
    bool waitForEnd(int milliseconds) const;

    // Names the calling thread ("POP3 Client", "SMTP Client") for diagnostic
    // output (debuggers, the thread description where the system keeps one).
    static void setThreadName(const char* name);
    // The name the calling thread was given, "" if none.
    static const char* threadName();

private:
    void* handle_ = nullptr;  // set by start on the export's thread
};

}  // namespace net
