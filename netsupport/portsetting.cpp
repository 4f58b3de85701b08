#include "portsetting.h"

#include <windows.h>

#include <climits>

namespace net {

int portTextValue(const char* text)
{
    if (!text)
        return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= INT_MAX)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int readPortSetting(const char* valueName, int defaultPort)
{
    HKEY key = nullptr;
    // Full access as the design asks; read access where an account may not
    // write the machine's keys, rather than silently losing the setting.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return defaultPort;
    char text[64] = {};
    DWORD size = sizeof text - 1;  // room for the NUL a stored value may lack
    LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                               &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return defaultPort;
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    int port = portTextValue(text);
    return port != 0 ? port : defaultPort;
}

}  // namespace net
