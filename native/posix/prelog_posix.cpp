// The pre-processor logs' clock over POSIX, for the native build.
#include "frame/prelog.h"

#include <ctime>
#include <sys/time.h>

namespace tarn {

LocalTime localTimeNow()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    std::tm t;
    localtime_r(&tv.tv_sec, &t);
    return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                     static_cast<int>(tv.tv_usec / 1000)};
}

}  // namespace tarn
