// For tests: a port value of HKEY_LOCAL_MACHINE\software\tarnwick\ports ("pop_out",
// "smtp_out") that a test sets; the value it had before, or its absence,
// is restored when the test ends.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

class PortSetting {
public:
    explicit PortSetting(const char* name) : name_(name)
    {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "software\\tarnwick\\ports", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        char old[64];
        DWORD size = sizeof old;
        had_ = RegQueryValueExA(key_, name_, nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                                &size) == ERROR_SUCCESS;
        if (had_)
            old_.assign(old, size);
    }
    ~PortSetting()
    {
        if (had_)
            RegSetValueExA(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueA(key_, name_);
        RegCloseKey(key_);
    }
    PortSetting(const PortSetting&) = delete;
    PortSetting& operator=(const PortSetting&) = delete;

    void set(const std::string& text)
    {
        RegSetValueExA(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    void set(int port) { set(std::to_string(port)); }

private:
    const char* name_;
    HKEY key_ = nullptr;
    bool had_ = false;
    std::string old_;
};

}  // namespace testsupport
