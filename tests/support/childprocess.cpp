#include "childprocess.h"

#include <vector>

namespace testsupport {

namespace {

struct Reader {
    HANDLE pipe;
    std::string text;
};

DWORD WINAPI readAll(void* p)
{
    Reader* r = static_cast<Reader*>(p);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(r->pipe, buf, sizeof buf, &n, nullptr) && n > 0)
        r->text.append(buf, n);
    return 0;
}

bool create(const std::string& commandLine, const std::string& folder, HANDLE out,
            PROCESS_INFORMATION& pi)
{
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi) != 0;
}

}  // namespace

ProgramRun runCapturing(const std::string& commandLine, const std::string& folder, DWORD timeoutMs)
{
    ProgramRun run;
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION pi;
    run.started = create(commandLine, folder, writeEnd, pi);
    CloseHandle(writeEnd);
    if (!run.started) {
        CloseHandle(readEnd);
        return run;
    }
    Reader reader{readEnd, {}};
    HANDLE thread = CreateThread(nullptr, 0, readAll, &reader, 0, nullptr);
    run.finished = WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.finished)
        TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(readEnd);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (char c : reader.text) {
        if (c != '\r')
            run.output += c;
    }
    return run;
}

BackgroundProgram::BackgroundProgram(const std::string& commandLine, const std::string& folder)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             OPEN_EXISTING, 0, nullptr);
    PROCESS_INFORMATION pi;
    if (create(commandLine, folder, nul, pi)) {
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
    }
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
}

BackgroundProgram::~BackgroundProgram()
{
    if (process_) {
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
}

bool BackgroundProgram::waitEnd(DWORD timeoutMs, DWORD* exitCode)
{
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(process_, exitCode);
    return true;
}

HWND waitForWindow(const char* title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND h = FindWindowA(nullptr, title))
            return h;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(50);
    }
}

bool waitWindowGone(const char* title, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (FindWindowA(nullptr, title)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

}  // namespace testsupport
