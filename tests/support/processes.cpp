#include "processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

int runProgram(const std::string& commandLine, unsigned timeoutMs)
{
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    CloseHandle(pi.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &code);
    } else {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

// Wine starts a native program without a process handle to wait on, so the
// script reports its end through a marker file that holds its exit status.
int runShell(const std::string& script, unsigned timeoutMs)
{
    static int counter = 0;
    char temp[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, temp))
        return -1;
    std::string marker = std::string(temp) + "tarnsh" + std::to_string(GetCurrentProcessId()) +
                         "_" + std::to_string(++counter);
    std::string unixMarker = unixPath(marker);
    if (unixMarker.empty())
        return -1;
    DeleteFileA(marker.c_str());
    std::string full = "(" + script + "); echo $? > '" + unixMarker + ".part'; mv '" + unixMarker +
                       ".part' '" + unixMarker + "'";
    std::string quoted;
    for (char c : full) {
        if (c == '"')
            quoted += '\\';
        quoted += c;
    }
    std::vector<char> cmd;
    std::string line = "/bin/sh -c \"" + quoted + "\"";
    cmd.assign(line.begin(), line.end());
    cmd.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    for (unsigned waited = 0; waited < timeoutMs; waited += 10) {
        if (std::FILE* f = std::fopen(marker.c_str(), "r")) {
            int status = -1;
            if (std::fscanf(f, "%d", &status) != 1)
                status = -1;
            std::fclose(f);
            DeleteFileA(marker.c_str());
            return status;
        }
        Sleep(10);
    }
    return -1;
}

std::string unixPath(const std::string& windowsPath)
{
    using Convert = char* __cdecl(const WCHAR*);
    auto convert = reinterpret_cast<Convert*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!convert)
        return "";
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH))
        return "";
    char* unix = convert(wide);
    if (!unix)
        return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::set<unsigned long> ownThreads()
{
    std::set<unsigned long> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return ids;
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e)) {
        if (e.th32OwnerProcessID == GetCurrentProcessId())
            ids.insert(e.th32ThreadID);
    }
    CloseHandle(snap);
    return ids;
}

bool threadsEnded(const std::set<unsigned long>& before)
{
    for (int i = 0; i < 500; ++i) {
        std::set<unsigned long> now = ownThreads();
        if (std::includes(before.begin(), before.end(), now.begin(), now.end()))
            return true;
        Sleep(20);
    }
    return false;
}

}  // namespace testsupport
