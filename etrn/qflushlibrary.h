// The library-wide state of qflush: the workers of the Q_FLUSH calls. Each
// call makes a worker with its own thread and socket; finished workers are
// released by a later call, never one whose session still runs.
#pragma once

#include "qflushworker.h"

#include <string>

namespace etrn {

// Q_FLUSH: makes a worker (port 25, or the registry value "smtp_out"),
// starts its session and returns 0 whether or not the thread started.
int qFlush(const std::string& hostName, const std::string& hostAddress,
           const std::string& domain);

// The worker of the last Q_FLUSH (null before one). For the library's tests.
q_flush* currentWorker();

// Releases every finished worker; at unload.
void releaseFinished();

}  // namespace etrn
