// The ETRN session, straight through: start-up, the receive loop, the EHLO
// reply taken line by line, every other reply taken whole, the ending.
#include "etrnsession.h"

#include "replyend.h"
#include "wthread.h"

namespace etrn {

namespace {

constexpr int kLingerSeconds = 600;

std::string upperAscii(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

class Session {
public:
    Session(q_flush& w, const EtrnSessionOptions& o) : w_(w), o_(o) {}

    int run()
    {
        net::WThread::setThreadName("ETRN Client");
        w_.stop = false;
        w_.socket = o_.makeSocket ? o_.makeSocket() : net::makeSessionSocket();
        net::Transport* s = w_.socket.get();
        if (!s || !s->setPort(w_.port & 0xFFFF) || !s->open())
            return 0;
        if (w_.useHostName)
            s->setHostName(w_.hostName);
        else
            s->setHostAddress(w_.hostAddress);
        if (!s->connect()) {
            s->close(false, 0);
            return -1;
        }
        ehloName_ = o_.localName ? o_.localName() : net::localHostName();
        w_.state = kWaitGreeting;
        w_.receiveBuffer.assign(kReceiveSize, '\0');
        receiveLoop();
        s->close(true, kLingerSeconds);
        return 0;
    }

private:
    void receiveLoop()
    {
        net::Transport& s = *w_.socket;
        for (;;) {
            if (!s.waitForData(o_.receiveWaitSeconds, o_.receiveWaitMicroseconds)) {
                if (!w_.sendBuffer.empty())
                    s.send(w_.sendBuffer, -1);
                return;
            }
            int count = s.receive(w_.receiveBuffer, -1);
            if (count < 0)
                return;
            pending_.append(w_.receiveBuffer.data(), static_cast<std::size_t>(count));
            if (pending_.find("\r\n") != std::string::npos) {
                if (w_.state == kWaitEhlo)
                    ehloLines();
                else
                    reply();
                if (w_.stop)
                    return;
            }
            if (count == 0 || pending_.size() > net::kReplyLimit)
                return;  // closed, or a reply without end that is too long
        }
    }

    void sendCommand(const std::string& text)
    {
        w_.command = text;
        w_.sendBuffer.assign(text.begin(), text.end());
        w_.socket->send(w_.sendBuffer, -1);
    }

    // State 102: each whole line in turn; the last line of a "250" reply
    // ("250 " or a bare "250") sends ETRN. A line beginning with "5" ends
    // the session at once; the server has refused the greeting.
    void ehloLines()
    {
        std::size_t end;
        while (w_.state == kWaitEhlo && (end = pending_.find("\r\n")) != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            if (line.compare(0, 3, "250") == 0 && net::isLastReplyLine(line)) {
                sendCommand("ETRN " + w_.domain + "\r\n");
                w_.state = kWaitEtrn;
            } else if (!line.empty() && line[0] == '5') {
                w_.stop = true;
                return;
            }
        }
    }

    void reply()
    {
        std::string r = upperAscii(pending_);
        pending_.clear();
        switch (w_.state) {
        case kWaitGreeting:
            if (r.compare(0, 4, "220 ") == 0) {
                sendCommand("EHLO " + ehloName_ + "\r\n");
                w_.state = kWaitEhlo;
            } else if (r[0] == '5') {
                w_.stop = true;
            }
            return;
        case kWaitEtrn:  // the reply is not examined
            sendCommand("QUIT\r\n");
            w_.state = kWaitQuit;
            return;
        case kWaitQuit:
            w_.stop = true;
            return;
        default:
            return;
        }
    }

    q_flush& w_;
    const EtrnSessionOptions& o_;
    std::string pending_;
    std::string ehloName_;
};

}  // namespace

int runEtrnSession(q_flush& worker, const EtrnSessionOptions& options)
{
    int result = 0;
    try {
        result = Session(worker, options).run();
    } catch (...) {
        result = 0;
    }
    worker.done = true;
    return result;
}

int etrnThreadEntry(void* worker)
{
    EtrnSessionOptions options;
    return runEtrnSession(*static_cast<q_flush*>(worker), options);
}

}  // namespace etrn
