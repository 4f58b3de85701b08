// The SMTP session's message file over the C runtime, for the native build.
// Limit: POSIX has no sharing modes, so a file another program holds open is
// opened all the same; only the Windows build refuses it.
#include "contentfile.h"

#include <climits>
#include <cstdio>
#include <sys/stat.h>

namespace smtp {

namespace {

class StdioContentFile : public ContentFile {
public:
    explicit StdioContentFile(std::FILE* f) : f_(f) {}
    ~StdioContentFile() override { std::fclose(f_); }
    StdioContentFile(const StdioContentFile&) = delete;
    StdioContentFile& operator=(const StdioContentFile&) = delete;

    bool size(long& bytes) override
    {
        struct stat st;
        // As in the Windows build: a size past a signed 32-bit long is unknown.
        if (::fstat(::fileno(f_), &st) != 0 || st.st_size > 0x7FFFFFFF)
            return false;
        bytes = static_cast<long>(st.st_size);
        return true;
    }

    long read(char* buffer, std::size_t max) override
    {
        std::size_t got = std::fread(buffer, 1, max, f_);
        if (got == 0 && std::ferror(f_))
            return -1;
        return static_cast<long>(got);
    }

private:
    std::FILE* f_;
};

}  // namespace

std::unique_ptr<ContentFile> openContentFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return nullptr;
    struct stat st;
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {  // a folder opens on POSIX
        std::fclose(f);
        return nullptr;
    }
    return std::make_unique<StdioContentFile>(f);
}

}  // namespace smtp
