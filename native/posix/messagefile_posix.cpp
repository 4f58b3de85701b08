// The POP3 session's message files over the C runtime, for the native build.
// Their paths come from messageFilePath (messagepath.cpp), as in the Windows
// build: a backslash there separates folders here too.
#include "messagefile.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace pop3 {

namespace {

class StdioMessageFile : public MessageFile {
public:
    explicit StdioMessageFile(std::FILE* f) : f_(f) {}
    ~StdioMessageFile() override
    {
        if (f_)
            std::fclose(f_);
    }
    bool write(const char* data, std::size_t size) override
    {
        ok_ = ok_ && std::fwrite(data, 1, size, f_) == size;
        return ok_;
    }
    bool close() override
    {
        if (!f_)
            return false;
        bool good = std::fclose(f_) == 0 && ok_;
        f_ = nullptr;
        return good;
    }

private:
    std::FILE* f_;
    bool ok_ = true;
};

// The path with slashes for the backslashes the Windows build takes.
std::string posixPath(std::string path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

}  // namespace

std::unique_ptr<MessageFile> createMessageFile(const std::string& path)
{
    std::FILE* f = std::fopen(posixPath(path).c_str(), "wb");
    if (!f)
        return nullptr;
    return std::make_unique<StdioMessageFile>(f);
}

void removeMessageFile(const std::string& path) { ::unlink(posixPath(path).c_str()); }

}  // namespace pop3
