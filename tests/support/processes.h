// Test support: starting programs from a test under Wine and waiting for
// them. Windows programs by command line; the machine's own tools (the peer
// tools the formats are checked against) through /bin/sh, which Wine runs
// as a native process. Unix paths of files in the prefix come from Wine.
#pragma once

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

}  // namespace testsupport
