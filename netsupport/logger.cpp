#include "logger.h"

#include <windows.h>

#include <cstring>

namespace net {

SessionTime sessionTimeNow()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return SessionTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                       st.wMilliseconds};
}

std::string formatSessionTimestamp(const SessionTime& t)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%2.2d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond / 10);
    return buf;
}

std::string formatSessionLine(const SessionTime& t, int level, const char* text)
{
    std::string stamp = formatSessionTimestamp(t);
    char levelText[16];
    std::snprintf(levelText, sizeof levelText, "%d", level);
    std::string line;
    line.reserve(stamp.size() + std::strlen(text) + 16);
    line += stamp;
    line += '\t';
    line += levelText;
    line += '\t';
    line += text;
    line += '\n';
    return line;
}

namespace {
CRITICAL_SECTION* section(void* p) { return static_cast<CRITICAL_SECTION*>(p); }
}  // namespace

logger::logger() : lock_(new CRITICAL_SECTION)
{
    InitializeCriticalSection(section(lock_));
    fileName_[0] = '\0';
}

logger::~logger()
{
    close();
    DeleteCriticalSection(section(lock_));
    delete section(lock_);
}

void logger::setFile(const char* path)
{
    EnterCriticalSection(section(lock_));
    if (path && std::strlen(path) < kFileNameSize)
        std::strcpy(fileName_, path);
    else
        fileName_[0] = '\0';
    LeaveCriticalSection(section(lock_));
}

void logger::setLevel(int level) { level_ = level; }

void logger::write(const char* text, int level)
{
    if (level > level_)
        return;
    if (!text)
        text = "";
    EnterCriticalSection(section(lock_));
    try {
        if (fileName_[0] != '\0')
            file_ = std::fopen(fileName_, "a+");
        if (file_) {
            std::string line = formatSessionLine(sessionTimeNow(), level, text);
            std::fwrite(line.data(), 1, line.size(), file_);
            std::fclose(file_);
            file_ = nullptr;
        }
    } catch (...) {
        // Out of memory for a long line: the line is lost, the lock is not.
        if (file_) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }
    LeaveCriticalSection(section(lock_));
}

void logger::close()
{
    EnterCriticalSection(section(lock_));
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    LeaveCriticalSection(section(lock_));
}

}  // namespace net
