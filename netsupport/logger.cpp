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
