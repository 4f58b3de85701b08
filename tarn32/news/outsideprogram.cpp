#include "outsideprogram.h"

#include <windows.h>

#include <vector>

namespace tarn {

namespace {
// Closes a kernel handle on destruction. Move-only.
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
    Handle& operator=(Handle&& o) noexcept
    {
        if (this != &o) {
            reset();
            h_ = o.h_;
            o.h_ = nullptr;
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    void reset()
    {
        if (h_ && h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_;
};
}  // namespace

ProgramRun runProgramAndWait(const std::string& commandLine, unsigned waitMs)
{
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');  // CreateProcessA may write into the command line
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi))
        return ProgramRun::kCannotStart;
    Handle process(pi.hProcess);
    Handle thread(pi.hThread);
    if (WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0)
        return ProgramRun::kFinished;
    TerminateProcess(process.get(), 1);
    // Its files are closed only once it has really gone.
    WaitForSingleObject(process.get(), 5000);
    return ProgramRun::kTimedOut;
}

}  // namespace tarn
