#include "wthread.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace net {

namespace {

struct StartBlock {
    WThread::Entry entry;
    void* worker;
    HANDLE running;  // set by the new thread before it calls entry
};

DWORD WINAPI threadProc(void* param)
{
    // The block lives on the stack of start(), which waits for `running`:
    // copy it before signalling.
    StartBlock* block = static_cast<StartBlock*>(param);
    WThread::Entry entry = block->entry;
    void* worker = block->worker;
    SetEvent(block->running);
    try {
        return static_cast<DWORD>(entry(worker));
    } catch (...) {
        return static_cast<DWORD>(-1);
    }
}

thread_local std::string currentName;

}  // namespace

WThread::~WThread()
{
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
}

bool WThread::start(void* worker, Entry entry)
{
    HANDLE running = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!running)
        return false;
    StartBlock block{entry, worker, running};
    HANDLE thread = CreateThread(nullptr, 0, threadProc, &block, 0, nullptr);
    if (!thread) {
        CloseHandle(running);
        return false;
    }
    WaitForSingleObject(running, INFINITE);
    CloseHandle(running);
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = thread;
    return true;
}

bool WThread::running() const
{
    return handle_ && WaitForSingleObject(static_cast<HANDLE>(handle_), 0) == WAIT_TIMEOUT;
}

int WThread::exitCode() const
{
    DWORD code = 0;
    if (!handle_ || !GetExitCodeThread(static_cast<HANDLE>(handle_), &code) ||
        code == STILL_ACTIVE)
        return -1;
    return static_cast<int>(code);
}

bool WThread::waitForEnd(int milliseconds) const
{
    if (!handle_)
        return true;
    DWORD wait = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
    return WaitForSingleObject(static_cast<HANDLE>(handle_), wait) == WAIT_OBJECT_0;
}

void WThread::setThreadName(const char* name)
{
    currentName = name ? name : "";
    // The thread description exists from Windows 10 on; older systems keep
    // only our own copy.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto set = kernel ? reinterpret_cast<SetDescription>(
                            GetProcAddress(kernel, "SetThreadDescription"))
                      : nullptr;
    if (set) {
        std::wstring wide(currentName.begin(), currentName.end());
        set(GetCurrentThread(), wide.c_str());
    }
}

const char* WThread::threadName() { return currentName.c_str(); }

}  // namespace net
