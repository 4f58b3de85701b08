// Running the outside compressor (wincomp.exe) for news import and export.
//
// The program is started by command line, found by the platform's program
// search, without a window. The library then waits for it to end, bounded:
// a program still running when the wait is over is ended and counts as not
// having produced its output (the caller removes what it may have left).
// Its exit status is not read; the files it leaves are what counts.
#pragma once

#include <string>

namespace tarn {

enum class ProgramRun {
    kFinished,     // started and ended within the wait
    kCannotStart,  // the platform refused to start it
    kTimedOut,     // still running after the wait; it has been ended
};

constexpr unsigned kProgramWaitMs = 60000;

ProgramRun runProgramAndWait(const std::string& commandLine, unsigned waitMs = kProgramWaitMs);

}  // namespace tarn
