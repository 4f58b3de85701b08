// Reading a received UUCP job file ("*.x" in the inbound folder).
//
// The file is read line by line, lines of at most 1999 characters (a longer
// line is read as several). Only two kinds of line matter, by their first
// character; when a kind occurs several times the last line wins:
//   "F"  the data file: the rest after the first two characters is the spool
//        name, at most 39 characters; its line feed is removed only when it
//        lies within the first 38 characters;
//   "C"  the command: the whole line, line end included, at most 2047 kept.
// Mail import accepts the lower-case letters too; news import does not.
// Everything else is ignored. No Win32.
#pragma once

#include <cstdio>
#include <string>

namespace tarn {

struct JobFile {
    std::string spoolName;    // from the last data-file line, "" when none
    std::string commandLine;  // the last command line, line end included
};

enum class JobLetters { kAnyCase, kUpperOnly };

// Reads `file` from its current position to its end. `lineWidth` is the line
// buffer size including the NUL (2000 for mail jobs).
JobFile readJobFile(std::FILE* file, JobLetters letters, int lineWidth = 2000);

// Kept sizes (including the NUL).
constexpr std::size_t kSpoolNameSize = 40;
constexpr std::size_t kCommandLineSize = 2048;

}  // namespace tarn
