#include "qflushlibrary.h"

#include "etrnsession.h"
#include "portsetting.h"

#include <memory>
#include <vector>

namespace etrn {

namespace {

// Touched by Q_FLUSH on the host's thread only.
std::vector<q_flush*> workers;
q_flush* theWorker = nullptr;

}  // namespace

void releaseFinished()
{
    for (auto it = workers.begin(); it != workers.end();) {
        if ((*it)->done && !(*it)->thread.running()) {
            if (*it == theWorker)
                theWorker = nullptr;
            delete *it;
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

int qFlush(const std::string& hostName, const std::string& hostAddress,
           const std::string& domain)
{
    releaseFinished();
    auto w = std::make_unique<q_flush>();
    w->port = net::readPortSetting("smtp_out", kDefaultPort);
    w->hostName = hostName;
    w->hostAddress = hostAddress;
    w->useHostName = hostAddress.empty();
    w->domain = domain;
    q_flush* worker = w.release();
    workers.push_back(worker);
    theWorker = worker;
    if (!worker->thread.start(worker, etrnThreadEntry))
        worker->done = true;
    return 0;
}

q_flush* currentWorker() { return theWorker; }

}  // namespace etrn
