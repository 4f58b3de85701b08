#include "poplibrary.h"

#include "pop3session.h"
#include "portsetting.h"

#include <vector>

namespace pop3 {

namespace {

// Library-wide; touched by the exports on the host's thread only.
bool initialised = false;
net::logger* theLogger = nullptr;
pop3worker* theWorker = nullptr;

// Objects replaced by a repeated initPopMail. Released once their session
// has ended; a worker is never destroyed under a running session.
struct Retired {
    net::logger* log;
    pop3worker* worker;
};
std::vector<Retired> retired;

void releaseIdle()
{
    for (auto it = retired.begin(); it != retired.end();) {
        if (it->worker && it->worker->busy) {
            ++it;
            continue;
        }
        delete it->worker;
        if (it->log) {
            it->log->close();
            delete it->log;
        }
        it = retired.erase(it);
    }
}

}  // namespace

int initPopMail(const InitSettings& s)
{
    initialised = false;
    if (theLogger || theWorker)
        retired.push_back({theLogger, theWorker});
    theLogger = new net::logger;
    theWorker = new pop3worker;
    releaseIdle();

    theLogger->setFile(s.logFile.c_str());
    theLogger->setLevel(s.logLevel);
    theLogger->write("Starting", 2);
    initialised = true;

    pop3worker& w = *theWorker;
    w.log = theLogger;
    w.hostWindow = s.hostWindow;
    w.eventBase = s.eventBase;
    w.folder = s.folder;
    w.port = net::readPortSetting("pop_out", kDefaultPort);
    w.hostName = s.hostName;
    w.hostAddress = s.hostAddress;
    w.useHostName = s.hostAddress.empty();
    return 1;
}

int getPopMail(const std::string& userName, const std::string& password)
{
    if (!initialised)
        return -1000;
    pop3worker& w = *theWorker;
    if (w.busy) {
        theLogger->write("POP3 Client still running, request refused.", 1);
        return -1;
    }
    w.userName = userName;
    w.password = password;
    w.busy = true;
    if (w.thread.start(&w, pop3ThreadEntry)) {
        theLogger->write("Created POP3 Client thread", 9);
    } else {
        w.busy = false;
        theLogger->write("Unabled to Create POP3 client thread.", 1);
    }
    return -1;
}

pop3worker* currentWorker() { return theWorker; }
net::logger* currentLogger() { return theLogger; }

void ApplicationClass::processDetach()
{
    bool sessionRuns = theWorker && theWorker->busy;
    if (!initialised && theWorker) {
        delete theWorker;
        theWorker = nullptr;
    }
    // A session thread cut off at process end may hold the logger's lock:
    // leave that logger to the system rather than wait on it.
    if (theLogger && !sessionRuns) {
        theLogger->close();
        delete theLogger;
        theLogger = nullptr;
    }
    releaseIdle();
}

}  // namespace pop3
