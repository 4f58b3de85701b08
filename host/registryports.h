// The port values the network libraries read from the registry
// (HKEY_LOCAL_MACHINE\software\tarnwick\ports, strings of digits): tarnpop
// reads pop_out, qflush smtp_out. A value written here stays for every
// later run of any host, until it is written again.
#pragma once

#include <string>

// The value's text; false when it is not set (or cannot be read).
bool readPortValue(const char* value, std::string& text);

// Writes the port as the value's text and says on stdout what was written
// and that it stays. False (and a message on stderr) when it cannot.
bool writePortValue(const char* value, int port);
