// How tarnwick tells a person the outcome: the exit codes every subcommand
// uses, and error lines on standard error with the one prefix "tarnwick: ".
//
//   0  done
//   1  the operation failed: a server refused, an export returned its
//      failure, nothing was imported where something was expected
//   2  usage: an argument is missing, malformed, out of range, or names no
//      file to read
#pragma once

enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

// "tarnwick: <text>\n" on stderr (stdout flushed first, so the two keep
// their order on a shared console or file).
__attribute__((format(gnu_printf, 1, 2))) void errorLine(const char* format, ...);

// errorLine, then kExitFailed.
__attribute__((format(gnu_printf, 1, 2))) int failure(const char* format, ...);

// errorLine, the subcommand's usage line, then kExitUsage.
__attribute__((format(gnu_printf, 2, 3))) int usageProblem(const char* command, const char* format, ...);
