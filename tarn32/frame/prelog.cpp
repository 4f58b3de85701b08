// The pre-processor logs over the C runtime; the clock is the platform's
// (localclock.cpp).
#include "prelog.h"

#include <cstdarg>

namespace tarn {

void formatLogPrefix(const LocalTime& t, char* out, std::size_t size)
{
    std::snprintf(out, size, "%4d-%02d-%02d %02d:%02d:%02d.%02d\t", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond);
}

bool PreLog::open(const std::string& path, int logLevel)
{
    close();
    level_ = logLevel;
    file_ = std::fopen(path.c_str(), "a");
    return file_ != nullptr;
}

void PreLog::close()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void PreLog::write(int threshold, const char* format, ...)
{
    if (!file_ || (threshold > 0 && level_ < threshold))
        return;
    char prefix[64];
    formatLogPrefix(localTimeNow(), prefix, sizeof prefix);
    std::fputs(prefix, file_);
    va_list args;
    va_start(args, format);
    std::vfprintf(file_, format, args);
    va_end(args);
}

void PreLog::writeBare(int threshold, const char* format, ...)
{
    if (!file_ || (threshold > 0 && level_ < threshold))
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file_, format, args);
    va_end(args);
}

void PreLog::flush()
{
    if (file_)
        std::fflush(file_);
}

}  // namespace tarn
