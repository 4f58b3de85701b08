// tarnsvc's command line: which action the first argument asks for, and the
// program name as it was typed.
#pragma once

#include <string>

enum class Action {
    RunService,  // no argument: started by the service control manager
    Install,     // "/Install", any letter case
    Remove,      // "/Remove", any letter case
    Usage,       // anything else
};

// Only the first argument counts (nullptr when there is none); letters A to Z
// match without regard to case, nothing else does.
Action actionFor(const char* firstArgument);

// The first word of a raw command line exactly as typed, quotes included
// (so that a quoted path with blanks stays one path when it is installed).
std::string programAsTyped(const char* commandLine);
