// Test support: what a DLL prints to standard output during one call. The
// DLL and the test share the C runtime, so its descriptor 1 is pointed at a
// file for the call and put back afterwards.
#pragma once

#include <functional>
#include <string>

namespace testsupport {

// Runs `call` with standard output going to `scratchFile` (removed again)
// and returns what was printed.
std::string capturingStdout(const std::string& scratchFile, const std::function<void()>& call);

}  // namespace testsupport
