// The POP3 session's message files over the C runtime, for the native build.
#include "messagefile.h"
#include "pop3worker.h"

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

}  // namespace

std::unique_ptr<MessageFile> createMessageFile(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return nullptr;
    return std::make_unique<StdioMessageFile>(f);
}

void removeMessageFile(const std::string& path) { ::unlink(path.c_str()); }

std::string messageFilePath(const std::string& folder, int messageNumber)
{
    if (folder.size() > kFolderMax)
        return "";
    char path[kMessagePathSize];
    int n = std::snprintf(path, sizeof path, "%s/%d.msg", folder.c_str(), messageNumber);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof path)
        return "";
    return path;
}

}  // namespace pop3
