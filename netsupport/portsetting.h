// The server ports of the network libraries, read from the registry key
// "software\\tarnwick\\ports" under HKEY_LOCAL_MACHINE: value "pop_out"
// (POP3, default 110) and "smtp_out" (SMTP and ETRN, default 25).
//
// The value is read as text whatever its registry type and converted as a
// decimal integer (leading blanks, optional sign, digits; no digits give 0).
// Nothing is logged; a missing key or value keeps the default.
#pragma once

namespace net {

constexpr const char* kPortsKey = "software\\tarnwick\\ports";

// The decimal value of a registry text: leading blanks, optional sign,
// digits up to the first other character; 0 without digits. Never
// overflows: values past the 32-bit range are clamped.
int portTextValue(const char* text);

// The port from the registry value `valueName`, or defaultPort when the key
// or value is missing or the value converts to 0. A non-zero value is
// returned as read, even outside 1 to 65535; the socket refuses such a port.
int readPortSetting(const char* valueName, int defaultPort);

}  // namespace net
