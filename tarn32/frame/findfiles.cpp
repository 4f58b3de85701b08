#include "findfiles.h"

#include <windows.h>

#include <cstring>

namespace tarn {

namespace {
void copyEntry(const WIN32_FIND_DATAA& data, char* name, bool& isFolder)
{
    std::size_t n = strnlen(data.cFileName, 259);
    std::memcpy(name, data.cFileName, n);
    name[n] = '\0';
    isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
}  // namespace

FileListing::FileListing(const std::string& patternPath)
    : handle_(INVALID_HANDLE_VALUE), pending_(false), name_{}, isFolder_(false)
{
    WIN32_FIND_DATAA data;
    // Basic information only: no short (8.3) names, which the platform would
    // otherwise work out for every entry of a large spool folder.
    HANDLE h = FindFirstFileExA(patternPath.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                nullptr, 0);
    if (h != INVALID_HANDLE_VALUE) {
        handle_ = h;
        copyEntry(data, name_, isFolder_);
        pending_ = true;
    }
}

FileListing::~FileListing()
{
    if (handle_ != INVALID_HANDLE_VALUE)
        FindClose(static_cast<HANDLE>(handle_));
}

bool FileListing::step()
{
    if (pending_) {
        pending_ = false;
        return true;
    }
    if (handle_ == INVALID_HANDLE_VALUE)
        return false;
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(static_cast<HANDLE>(handle_), &data))
        return false;
    copyEntry(data, name_, isFolder_);
    return true;
}

}  // namespace tarn
