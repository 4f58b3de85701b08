// The plain configuration file of tarnwick AUTO, "tarnwick.auto" in the
// folder of tarnwick.exe: the unattended work, one step per line.
//
//   # a comment (also ';'), blank lines are skipped
//   every 600                                  repeat the work every 600 s
//   import-mail C:\uucp\in C:\store gate office 5
//   pause 2                                    wait 2 s between steps
//   quit                                       close the window and end
//
// A step is a tarnwick subcommand with its arguments, split at blanks and
// tabs; "double quotes" keep blanks inside one argument (no escapes, so
// Windows paths are written as they are). "pause" and "quit" exist only
// here. Without "every" the work runs once and the host then waits for
// the messages that close it. Parsing only; no Win32 here.
#pragma once

#include <string>
#include <vector>

struct AutoStep {
    std::vector<std::string> words;  // the subcommand, then its arguments
    int line = 0;                    // in the file, from 1
};

struct AutoConfig {
    std::vector<AutoStep> steps;
    unsigned everySeconds = 0;        // 0: run the work once
    std::vector<std::string> errors;  // "line N: ..." for each line skipped
};

// Parses the whole file. Lines that cannot be understood are skipped and
// described in errors; the rest still counts.
AutoConfig parseAutoConfig(const std::string& text);

// Splits one line into words. False (and error set) for an unclosed quote.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::string& error);

// The step as its log line shows it: the words joined by blanks, a word
// with blanks in double quotes, and every password the step carries in its
// argument list (fetch-pop, soak-pop, dial) written as "*****".
std::string stepForLog(const std::vector<std::string>& words);
