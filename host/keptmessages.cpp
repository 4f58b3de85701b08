#include "keptmessages.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

bool allDigits(const std::string& s)
{
    return !s.empty() && s.size() < 10 && s.find_first_not_of("0123456789") == std::string::npos;
}

bool anyMatch(const std::string& pattern)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

bool makeFolder(const std::string& path)
{
    if (CreateDirectoryA(path.c_str(), nullptr))
        return true;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool moveNeverReplacing(const std::string& from, const std::string& to)
{
    // MoveFileA fails when the target exists: nothing kept is ever replaced.
    if (MoveFileA(from.c_str(), to.c_str()))
        return true;
    DWORD error = GetLastError();
    std::fflush(stdout);  // an error line comes after what was printed before it
    std::fprintf(stderr, "tarnwick: cannot move %s to %s (error %lu); it stays where it is\n",
                 from.c_str(), to.c_str(), error);
    return false;
}

}  // namespace

std::string receivedFolder(const std::string& folder) { return folder + "\\received"; }
std::string incompleteFolder(const std::string& folder) { return folder + "\\incomplete"; }

std::vector<int> messageFileNumbers(const std::string& folder)
{
    std::vector<int> numbers;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*.msg").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return numbers;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string name = found.cFileName;
        // The pattern also finds longer extensions on some systems.
        if (name.size() < 5 || _stricmp(name.c_str() + name.size() - 4, ".msg") != 0)
            continue;
        std::string stem = name.substr(0, name.size() - 4);
        if (allDigits(stem))
            numbers.push_back(std::atoi(stem.c_str()));
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::string sessionStamp(const std::vector<std::string>& targets)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char base[32];
    std::snprintf(base, sizeof base, "%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        std::string stamp = base;
        if (letter != 'a')
            stamp += letter;
        bool used = false;
        for (const std::string& target : targets)
            used = used || anyMatch(target + "\\" + stamp + "-*.msg");
        if (!used)
            return stamp;
    }
    return "";
}

bool prepareKeepFolders(const std::string& folder)
{
    std::string path = receivedFolder(folder);
    if (makeFolder(path))
        return true;
    DWORD error = GetLastError();
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwick: cannot create %s (error %lu)\n", path.c_str(), error);
    return false;
}

MessageKeeper::MessageKeeper(std::string folder, std::string stamp)
    : folder_(std::move(folder)), stamp_(std::move(stamp))
{
}

std::string MessageKeeper::fileOf(int n) const
{
    return folder_ + "\\" + std::to_string(n) + ".msg";
}

std::string MessageKeeper::keptPath(const std::string& target, int n) const
{
    return target + "\\" + stamp_ + "-" + std::to_string(n) + ".msg";
}

void MessageKeeper::keepStored(int n)
{
    KeptFile k;
    k.number = n;
    k.complete = true;
    std::string from = fileOf(n);
    k.path = keptPath(receivedFolder(folder_), n);
    // Quietly: keepRest tries again and reports.
    if (!MoveFileA(from.c_str(), k.path.c_str()))
        return;
    k.moved = true;
    kept_.push_back(k);
}

void MessageKeeper::keepRest(const std::function<bool(int)>& complete)
{
    for (int n : messageFileNumbers(folder_)) {
        KeptFile k;
        k.number = n;
        k.complete = complete(n);
        std::string target = k.complete ? receivedFolder(folder_) : incompleteFolder(folder_);
        std::string from = fileOf(n);
        std::string to = keptPath(target, n);
        k.moved = makeFolder(target) && moveNeverReplacing(from, to);
        if (!k.moved && GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::fflush(stdout);
            std::fprintf(stderr, "tarnwick: cannot create %s; %s stays where it is\n",
                         target.c_str(), from.c_str());
        }
        k.path = k.moved ? to : from;
        kept_.push_back(k);
    }
}

std::vector<KeptFile> MessageKeeper::kept() const
{
    std::vector<KeptFile> all = kept_;
    std::stable_sort(all.begin(), all.end(),
                     [](const KeptFile& a, const KeptFile& b) { return a.number < b.number; });
    return all;
}
