#include "contentfile.h"

#include <windows.h>

namespace smtp {

namespace {

class Win32ContentFile : public ContentFile {
public:
    explicit Win32ContentFile(HANDLE h) : handle_(h) {}
    ~Win32ContentFile() override { CloseHandle(handle_); }
    Win32ContentFile(const Win32ContentFile&) = delete;
    Win32ContentFile& operator=(const Win32ContentFile&) = delete;

    bool size(long& bytes) override
    {
        DWORD high = 0;
        DWORD low = GetFileSize(handle_, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
            return false;
        // Limit: the size travels in a signed 32-bit long, as the log line
        // "Message Size %ld" shows it; larger files are refused as unknown.
        if (high != 0 || low > 0x7FFFFFFFu)
            return false;
        bytes = static_cast<long>(low);
        return true;
    }

    long read(char* buffer, std::size_t max) override
    {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(max), &got, nullptr))
            return -1;
        return static_cast<long>(got);
    }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<ContentFile> openContentFile(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Win32ContentFile>(h);
}

}  // namespace smtp
