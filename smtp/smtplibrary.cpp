#include "smtplibrary.h"

#include "smtpsession.h"

#include <vector>

namespace smtp {

namespace {

// Library-wide; touched by the exports on the host's thread only.
bool initialised = false;
net::logger* theLogger = nullptr;
postgate* theWorker = nullptr;

// Objects replaced by a repeated initSmtpMail. Released once their session
// has ended; a worker is never destroyed under a running session.
struct Retired {
    net::logger* log;
    postgate* worker;
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

bool anySessionRuns()
{
    if (theWorker && theWorker->busy)
        return true;
    for (const Retired& r : retired) {
        if (r.worker && r.worker->busy)
            return true;
    }
    return false;
}

}  // namespace

int initSmtpMail(const InitSettings& s)
{
    initialised = false;
    if (theLogger || theWorker)
        retired.push_back({theLogger, theWorker});
    theLogger = new net::logger;
    theWorker = new postgate;
    releaseIdle();

    theLogger->setFile(s.logFile.c_str());
    theLogger->setLevel(s.logLevel);
    theLogger->write("Starting", 2);
    initialised = true;

    postgate& w = *theWorker;
    w.log = theLogger;
    w.heloDomain = s.heloDomain;
    w.hostWindow = s.hostWindow;
    w.eventBase = s.eventBase;
    w.hostName = s.hostName;
    w.hostAddress = s.hostAddress;
    w.port = s.port;
    w.useHostName = s.hostAddress.empty();
    // Limit: the folder holds at most 199 characters. A longer one is not
    // cut to another folder's name: refusals then cannot be recorded, and
    // each one says so in the log with the path it would have had. An empty
    // (or null) folder would put "smtp.bad" at the root of the current
    // drive, outside every folder the host named: refused the same way.
    w.folder = s.folder;
    if (s.folder.empty()) {
        w.folderUnusable = true;
        theLogger->write("No folder given, refusals will not be recorded", 1);
    } else if (s.folder.size() >= kFolderSize) {
        w.folderUnusable = true;
        theLogger->write("Folder name too long, refusals will not be recorded", 1);
    }
    return 1;
}

int connectToHost(const std::string& envelopePath, const std::string& messagePath)
{
    if (!initialised)
        return -1;
    releaseIdle();
    if (anySessionRuns()) {
        theLogger->write("SMTP Client still running, request refused.", 1);
        return 0;
    }
    postgate& w = *theWorker;
    w.envelopePath = envelopePath;
    w.messagePath = messagePath;
    theLogger->write("SMTP Connect requested", 9);
    w.busy = true;
    if (w.thread.start(&w, smtpThreadEntry)) {
        theLogger->write("Created SMTP Client thread", 9);
        return 1;
    }
    w.busy = false;
    theLogger->write("Unabled to Create SMTP client thread.", 1);
    return 0;
}

postgate* currentWorker() { return theWorker; }
net::logger* currentLogger() { return theLogger; }

void ApplicationClass::processDetach()
{
    bool sessionRuns = theWorker && theWorker->busy;
    // A session thread cut off at process end may hold the logger's lock or
    // the worker's files: leave those to the system rather than touch them.
    if (!sessionRuns) {
        delete theWorker;
        theWorker = nullptr;
        if (theLogger) {
            theLogger->close();
            delete theLogger;
            theLogger = nullptr;
        }
    }
    initialised = false;
    releaseIdle();
}

}  // namespace smtp
