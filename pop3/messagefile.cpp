#include "messagefile.h"

#include "pop3worker.h"

#include <windows.h>

#include <cstdio>

namespace pop3 {

namespace {

// Lines arrive a few dozen bytes at a time; writing them in larger pieces
// keeps a 1 MB message from costing thousands of system calls. Nothing is
// kept past close(), so the file is complete before the DELE goes out.
class Win32MessageFile : public MessageFile {
public:
    explicit Win32MessageFile(HANDLE h) : handle_(h) { buffer_.reserve(kBufferSize); }
    ~Win32MessageFile() override
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }

    bool write(const char* data, std::size_t size) override
    {
        if (!ok_)
            return false;
        if (buffer_.size() + size > kBufferSize && !flush())
            return false;
        if (size >= kBufferSize)
            return ok_ = writeAll(data, size);
        buffer_.append(data, size);
        return true;
    }

    bool close() override
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return false;
        bool good = ok_ && flush();
        good = CloseHandle(handle_) != 0 && good;
        handle_ = INVALID_HANDLE_VALUE;
        return good;
    }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    bool flush()
    {
        if (!buffer_.empty()) {
            ok_ = writeAll(buffer_.data(), buffer_.size());
            buffer_.clear();
        }
        return ok_;
    }

    bool writeAll(const char* data, std::size_t size)
    {
        while (size > 0) {
            DWORD written = 0;
            DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
            if (!WriteFile(handle_, data, chunk, &written, nullptr) || written == 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
    }

    HANDLE handle_;
    std::string buffer_;
    bool ok_ = true;
};

}  // namespace

std::unique_ptr<MessageFile> createMessageFile(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Win32MessageFile>(h);
}

void removeMessageFile(const std::string& path) { DeleteFileA(path.c_str()); }

}  // namespace pop3
