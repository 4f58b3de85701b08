#include "registryports.h"

#include "hostcontract.h"
#include "library.h"
#include "report.h"

#include <windows.h>

#include <cstdio>

namespace {
HKEY openPorts(REGSAM access, LONG& status)
{
    HKEY key = nullptr;
    status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, contract::kPortsKey, 0, nullptr, 0, access,
                             nullptr, &key, nullptr);
    return status == ERROR_SUCCESS ? key : nullptr;
}
}  // namespace

bool readPortValue(const char* value, std::string& text)
{
    LONG status;
    HKEY key = openPorts(KEY_QUERY_VALUE, status);
    if (!key)
        return false;
    char buf[64] = {};
    DWORD size = sizeof buf - 1;
    bool ok = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    if (ok)
        text = buf;
    return ok;
}

bool writePortValue(const char* value, int port)
{
    LONG status;
    HKEY key = openPorts(KEY_SET_VALUE, status);
    if (!key) {
        errorLine("cannot open HKEY_LOCAL_MACHINE\\%s: %s", contract::kPortsKey,
                  windowsErrorText(static_cast<DWORD>(status)).c_str());
        return false;
    }
    std::string text = std::to_string(port);
    status = RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        errorLine("cannot write %s: %s", value, windowsErrorText(static_cast<DWORD>(status)).c_str());
        return false;
    }
    std::printf("%s = %s (written to HKLM\\%s; it stays for later runs)\n", value, text.c_str(),
                contract::kPortsKey);
    return true;
}
