// The platform parts of the network support for the native build, where the
// session code runs behind test and fuzz transports: the session log's clock,
// lock and file over the C runtime (its line comes from sessionline.cpp, as
// in the Windows build), progress pairs into a ProgressRecorder, the thread
// name and the local host name. There are no sockets natively.
#include "logger.h"
#include "notifyhost.h"
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
    if (level > level_)
        return;
    if (!text)
        text = "";
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
    std::lock_guard<std::mutex> g(*static_cast<std::mutex*>(lock_));
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
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

std::string localHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return "";
    name[sizeof name - 1] = '\0';
    return name;
}

}  // namespace net
