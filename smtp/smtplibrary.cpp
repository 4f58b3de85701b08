#include "smtplibrary.h"

#include "librarystate.h"
#include "smtpsession.h"

namespace smtp {

namespace {

// Library-wide; touched by the exports on the host's thread only.
bool initialised = false;
net::LibraryState<postgate> state;

}  // namespace

int initSmtpMail(const InitSettings& s)
{
    initialised = false;
    postgate& w = state.renew();
    net::logger& log = *state.log();
    log.setFile(s.logFile.c_str());
    log.setLevel(s.logLevel);
    log.write("Starting", 2);
    initialised = true;

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
        log.write("No folder given, refusals will not be recorded", 1);
    } else if (s.folder.size() >= kFolderSize) {
        w.folderUnusable = true;
        log.write("Folder name too long, refusals will not be recorded", 1);
    }
    return 1;
}

int connectToHost(const std::string& envelopePath, const std::string& messagePath)
{
    if (!initialised)
        return -1;
    state.releaseFinished();
    postgate& w = *state.worker();
    net::logger& log = *state.log();
    if (state.anySessionRuns()) {
        log.write("SMTP Client still running, request refused.", 1);
        return 0;
    }
    w.envelopePath = envelopePath;
    w.messagePath = messagePath;
    log.write("SMTP Connect requested", 9);
    w.busy = true;
    if (w.thread.start(&w, smtpThreadEntry)) {
        log.write("Created SMTP Client thread", 9);
        return 1;
    }
    w.busy = false;
    log.write("Unabled to Create SMTP client thread.", 1);
    return 0;
}

postgate* currentWorker() { return state.worker(); }
net::logger* currentLogger() { return state.log(); }

void ApplicationClass::processDetach()
{
    initialised = false;
    state.unload();
}

}  // namespace smtp
