#include "poplibrary.h"

#include "librarystate.h"
#include "pop3session.h"
#include "portsetting.h"

namespace pop3 {

namespace {

// Library-wide; touched by the exports on the host's thread only.
bool initialised = false;
net::LibraryState<pop3worker> state;

}  // namespace

int initPopMail(const InitSettings& s)
{
    initialised = false;
    pop3worker& w = state.renew();
    net::logger& log = *state.log();
    log.setFile(s.logFile.c_str());
    log.setLevel(s.logLevel);
    log.write("Starting", 2);
    initialised = true;

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
    state.releaseFinished();
    pop3worker& w = *state.worker();
    net::logger& log = *state.log();
    // One session of the library at a time: a repeated initPopMail leaves
    // the session of the worker it replaced running, and a second session
    // beside it would fetch the same mailbox into the same file names.
    if (state.anySessionRuns()) {
        log.write("POP3 Client still running, request refused.", 1);
        return -1;
    }
    w.userName = userName;
    w.password = password;
    w.busy = true;
    if (w.thread.start(&w, pop3ThreadEntry)) {
        log.write("Created POP3 Client thread", 9);
    } else {
        w.busy = false;
        log.write("Unabled to Create POP3 client thread.", 1);
    }
    return -1;
}

pop3worker* currentWorker() { return state.worker(); }
net::logger* currentLogger() { return state.log(); }

void ApplicationClass::processDetach()
{
    initialised = false;
    state.unload();
}

}  // namespace pop3
