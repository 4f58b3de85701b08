// Passwords given without putting them into the argument list, where any
// process list and AUTO's step log would show them: from an environment
// variable or from the first line of a file.
#pragma once

#include <string>

class CommandLine;

// Takes the password from --password-env VAR or --password-file FILE when
// one of them was given. Returns 0 with found set accordingly, or the
// usage exit code after saying what is wrong (both given, variable unset,
// file unreadable, empty).
int passwordOption(const char* command, const CommandLine& line, std::string& password,
                   bool& found);
