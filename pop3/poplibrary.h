// The library-wide state of tarnpop and what the two exports do with it:
// initPopMail makes a new logger and worker and stores the settings (the
// port from the registry value "pop_out"); getPopMail starts one session
// on the worker's thread. ApplicationClass handles the load and unload
// notifications.
//
// Threads: the exports run on the host's thread, one at a time (host
// contract); the session on its worker thread. A session uses only its
// own worker and that worker's logger, so a repeated initPopMail never
// pulls them from under a running session (net::LibraryState keeps them
// until it has ended, and refuses a second session beside it).
#pragma once

#include "logger.h"
#include "pop3worker.h"

#include <string>

namespace pop3 {

struct InitSettings {
    void* hostWindow = nullptr;
    int eventBase = 0;
    std::string folder;
    std::string hostName;
    std::string hostAddress;
    std::string logFile;
    int logLevel = 0;
};

// initPopMail: always 1.
int initPopMail(const InitSettings& settings);

// getPopMail: -1000 before any initPopMail; -1 otherwise (started, no
// thread, or refused because a session of the library still runs: the
// session of the current worker, or of one a repeated initPopMail
// replaced; the refusal is logged at level 1).
int getPopMail(const std::string& userName, const std::string& password);

// The worker and logger of the last initPopMail (null before one). For the
// library's own tests.
pop3worker* currentWorker();
net::logger* currentLogger();

class ApplicationClass {
public:
    ApplicationClass() = default;
    virtual ~ApplicationClass() = default;
    ApplicationClass(const ApplicationClass&) = delete;
    ApplicationClass& operator=(const ApplicationClass&) = delete;

    void processAttach() {}
    // The library is unloaded or the process ends.
    void processDetach();
};

}  // namespace pop3
