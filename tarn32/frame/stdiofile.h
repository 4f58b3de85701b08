// A C runtime file stream that closes itself. Move-only.
#pragma once

#include <cstdio>
#include <string>
#include <utility>

namespace tarn {

class StdioFile {
public:
    StdioFile() = default;
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;
    StdioFile(StdioFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    StdioFile& operator=(StdioFile&& other) noexcept
    {
        if (this != &other) {
            close();
            file_ = std::exchange(other.file_, nullptr);
        }
        return *this;
    }
    ~StdioFile() { close(); }

    // Opens with the C runtime's mode string ("r", "rb", "a", "ab", "w+b", ...).
    bool open(const std::string& path, const char* mode)
    {
        close();
        file_ = std::fopen(path.c_str(), mode);
        return file_ != nullptr;
    }
    // Closes; false when the final flush failed. The flush is asked for on
    // its own first: some C runtimes' fclose reports a failed flush as success.
    bool close()
    {
        bool ok = true;
        if (file_) {
            ok = std::fflush(file_) == 0;
            ok = std::fclose(file_) == 0 && ok;
            file_ = nullptr;
        }
        return ok;
    }
    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
};

}  // namespace tarn
