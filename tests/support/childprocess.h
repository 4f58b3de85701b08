// Test support: running a program of the build as a separate process, the
// way a shell or the service manager would, with its output collected.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

struct ProgramRun {
    bool started = false;
    bool finished = false;   // false: still running at the time-out, then ended
    DWORD exitCode = 0;
    std::string output;      // standard output and standard error, CR removed
};

// Runs commandLine (the program's path as its first word) in folder (the
// test's own current folder when empty) and waits for it.
ProgramRun runCapturing(const std::string& commandLine, const std::string& folder = "",
                      DWORD timeoutMs = 60000);

// A process started in the background, its output discarded; ended (if
// still running) and closed on destruction.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& commandLine, const std::string& folder = "");
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool started() const { return process_ != nullptr; }
    // Waits for the end; false when still running after timeoutMs.
    bool waitEnd(DWORD timeoutMs, DWORD* exitCode = nullptr);

private:
    HANDLE process_ = nullptr;
};

// Polls every 50 ms until FindWindowA finds a top-level window with this
// title, or timeoutMs has passed.
HWND waitForWindow(const char* title, DWORD timeoutMs);
// Polls until no such window exists; false at the time-out.
bool waitWindowGone(const char* title, DWORD timeoutMs);

}  // namespace testsupport
