// Test support: starting programs from a test under Wine and waiting for
// them. Windows programs by command line; the machine's own tools (the peer
// tools the formats are checked against) through /bin/sh, which Wine runs
// as a native process. Unix paths of files in the prefix come from Wine.
#pragma once

#include <set>
#include <string>

namespace testsupport {

// Runs a Windows command line (program found by the usual search) and
// returns its exit code; -1 when it cannot be started or does not end
// within timeoutMs (it is then ended).
int runProgram(const std::string& commandLine, unsigned timeoutMs = 60000);

// Runs `script` with /bin/sh -c and returns its exit status; -1 when the
// shell cannot be started. Double quotes in the script are passed through.
int runShell(const std::string& script, unsigned timeoutMs = 60000);

// The Unix path of a Windows path in the prefix; "" when Wine has none.
std::string unixPath(const std::string& windowsPath);

// The ids of this process's threads.
std::set<unsigned long> ownThreads();

// Nothing joins a library's worker threads: waits (at most ten seconds)
// until only the threads of `before` run, so that no worker meets the next
// case or the unloading of the library. False when some still run.
bool threadsEnded(const std::set<unsigned long>& before);

}  // namespace testsupport
