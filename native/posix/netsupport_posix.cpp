// The platform parts of the network support for the native build, where the
// session code runs behind test and fuzz transports: the session log over
// the C runtime, progress pairs into a ProgressRecorder, the thread name,
// the message files over the C runtime. There are no sockets natively.
#include "logger.h"
#include "messagefile.h"
#include "notifyhost.h"
#include "pop3worker.h"
#include "progressrecorder.h"
#include "transport.h"
#include "wthread.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sys/time.h>
#include <unistd.h>

namespace net {

SessionTime sessionTimeNow()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    std::tm t;
    localtime_r(&tv.tv_sec, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
            static_cast<int>(tv.tv_usec / 1000)};
}

std::string formatSessionTimestamp(const SessionTime& t)
{
    char b[64];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d.%2.2d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond / 10);
    return b;
}

std::string formatSessionLine(const SessionTime& t, int level, const char* text)
{
    return formatSessionTimestamp(t) + "\t" + std::to_string(level) + "\t" + text + "\n";
}

logger::logger() : lock_(new std::mutex) { fileName_[0] = 0; }

logger::~logger()
{
    close();
    delete static_cast<std::mutex*>(lock_);
}

void logger::setFile(const char* path)
{
    std::lock_guard<std::mutex> g(*static_cast<std::mutex*>(lock_));
    if (!path || std::strlen(path) >= kFileNameSize)
        fileName_[0] = 0;
    else
        std::strcpy(fileName_, path);
}

void logger::setLevel(int level) { level_ = level; }

void logger::write(const char* text, int level)
{
    if (level > level_ || !text)
        return;
    std::lock_guard<std::mutex> g(*static_cast<std::mutex*>(lock_));
    if (!fileName_[0])
        return;
    file_ = std::fopen(fileName_, "a+");
    if (!file_)
        return;
    std::string line = formatSessionLine(sessionTimeNow(), level, text);
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fclose(file_);
    file_ = nullptr;
}

void logger::close()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    fileName_[0] = 0;
}

void notifyHost(void* hostWindow, int eventBase, int wParam, int lParam)
{
    if (hostWindow)
        static_cast<ProgressRecorder*>(hostWindow)->pairs.emplace_back(wParam, lParam);
}

namespace {
thread_local const char* currentThreadName = "";
}

WThread::~WThread() = default;
void WThread::setThreadName(const char* name) { currentThreadName = name ? name : ""; }
const char* WThread::threadName() { return currentThreadName; }

std::unique_ptr<Transport> makeSessionSocket() { return nullptr; }

}  // namespace net

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
