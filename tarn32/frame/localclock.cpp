// The pre-processor logs' clock: the local time of Windows, with milliseconds.
#include "prelog.h"

#include <windows.h>

namespace tarn {

LocalTime localTimeNow()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                     st.wMilliseconds};
}

}  // namespace tarn
