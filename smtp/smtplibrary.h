// The library-wide state of postgate and what the exports do with it:
// initSmtpMail makes a new logger and worker and stores the settings;
// ConnectToHost starts one session on the worker's thread. ApplicationClass
// handles the load and unload notifications.
//
// Threads: the exports run on the host's thread, one at a time (host
// contract); the session on its worker thread. A session uses only its own
// worker and that worker's logger, so a repeated initSmtpMail never pulls
// them from under a running session; they are released once it has ended
// (net::LibraryState).
#pragma once

#include "logger.h"
#include "postgateworker.h"

#include <string>

namespace smtp {

struct InitSettings {
    void* hostWindow = nullptr;
    int eventBase = 0;
    std::string folder;
    std::string hostName;
    std::string hostAddress;
    std::string logFile;
    int logLevel = 0;
    int port = 25;
    std::string heloDomain;
};

// initSmtpMail: always 1.
int initSmtpMail(const InitSettings& settings);

// ConnectToHost: -1 before any initSmtpMail (nothing logged); 1 when the
// session was started; 0 when no thread could be started, or when a
// session of the library still runs, that of a worker a repeated
// initSmtpMail replaced included (refused, logged at level 1).
int connectToHost(const std::string& envelopePath, const std::string& messagePath);

// The worker and logger of the last initSmtpMail (null before one). For the
// library's own tests.
postgate* currentWorker();
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

}  // namespace smtp
