// The POP3 session, written as a dialogue over a Transport: set-up, the
// receive loop, reply handling (every state but 105), message handling
// (state 105) and the endings. Each step's log line and progress pair sit
// beside it.
#include "pop3session.h"

#include "errortext.h"
#include "notifyhost.h"

#include <cstdio>
#include <cstdlib>

namespace pop3 {

namespace {

constexpr int kReceiveSize = 500;     // one receive, at most
constexpr std::size_t kBulkAt = 3000;  // pending text past this goes to the file whole
constexpr int kLingerSeconds = 600;

std::string upperAscii(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// The text without its last two characters (the CR LF of a protocol line).
std::string withoutLineEnd(const std::string& s)
{
    return s.size() >= 2 ? s.substr(0, s.size() - 2) : std::string();
}

std::string trimSpaces(const std::string& s)
{
    std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return "";
    std::size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// What a step of the receive loop leads to.
enum class Next { Receive, End };

class Session {
public:
    Session(pop3worker& w, const Pop3SessionOptions& o) : w_(w), o_(o) {}

    int run()
    {
        int setUp = start();
        if (setUp != 0)
            return setUp == 1 ? 0 : -1;
        return receiveLoop();
    }

private:
    void log(const std::string& text, int level)
    {
        if (w_.log)
            w_.log->write(text, level);
    }
    void notify(int wParam, int lParam)
    {
        net::notifyHost(w_.hostWindow, w_.eventBase, wParam, lParam);
    }
    // The session's last pair: the worker is free again before the host
    // can see it, so the host may start the next session at once.
    // The window and base are read first: once busy is false a repeated
    // initPopMail may destroy the worker.
    void notifyLast(int wParam, int lParam)
    {
        void* window = w_.hostWindow;
        int base = w_.eventBase;
        w_.busy = false;
        net::notifyHost(window, base, wParam, lParam);
    }

    // 0 connected; 1 set-up failure (exit code 0); 2 connect failed (-1).
    int start()
    {
        net::WThread::setThreadName("POP3 Client");
        w_.stop = false;
        w_.state = kWaitGreeting;
        w_.socket = o_.makeSocket ? o_.makeSocket() : net::makeSessionSocket();
        net::Transport* s = w_.socket.get();
        if (!s) {
            log("Could not create POP3 client socket!", 1);
            notifyLast(0, -1000);
            return 1;
        }
        if (!s->setPort(w_.port)) {
            log("Pop3 Client could not set local port!", 1);
            notifyLast(0, -1000);
            return 1;
        }
        if (!s->open()) {
            log("Could not create POP3 Client socket!", 1);
            notifyLast(0, -1000);
            return 1;
        }
        if (w_.useHostName) {
            s->setHostName(w_.hostName);
            log("Pop3 Client contacting host " + w_.hostName, 5);
        } else {
            s->setHostAddress(w_.hostAddress);
            log("Pop3 Client contacting host at " + w_.hostAddress, 5);
        }
        if (!s->connect()) {
            log(std::string("Pop3 Client connect failed: ") + net::errorText(s->lastError()), 1);
            notifyLast(100, -1);
            return 2;
        }
        notify(0, 1);
        log("Pop3 Client connected", 8);
        w_.receiveBuffer.assign(kReceiveSize, '\0');
        return 0;
    }

    int receiveLoop()
    {
        net::Transport& s = *w_.socket;
        for (;;) {
            if (!s.waitForData(o_.receiveWaitSeconds, o_.receiveWaitMicroseconds))
                return timedOut();
            received_ = s.receive(w_.receiveBuffer, -1);
            if (received_ < 0)
                return receiveError();
            block_.assign(w_.receiveBuffer.data(), received_);
            if (w_.state == kWaitRetr) {
                // Every block of a RETR reply is looked at, with or without a
                // line end: its end may complete bytes written in bulk.
                if (handleMessage() == Next::End)
                    return commonEnding();
            } else {
                pending_ += block_;
                if (skipLine_ && skipRestOfLongReply() == Next::End)
                    return commonEnding();
                if (!skipLine_ && pending_.find("\r\n") != std::string::npos) {
                    handleReply();
                    if (w_.stop)
                        return commonEnding();
                }
            }
            if (w_.state != kWaitRetr && pending_.size() > net::kReplyLimit &&
                pending_.find("\r\n") == std::string::npos && replyTooLong() == Next::End)
                return commonEnding();
            if (received_ == 0) {
                closeMessageFile();
                log("POP3 Client closed.", 8);
                return commonEnding();
            }
        }
    }

    // ---- Reply handling: every state but 105. The whole pending text is
    // the reply.
    void handleReply()
    {
        std::string reply = upperAscii(pending_);
        pending_.clear();
        log("<- " + withoutLineEnd(reply), 9);
        bool ok = reply.compare(0, 3, "+OK") == 0;
        switch (w_.state) {
        case kWaitGreeting:
            if (!ok)
                return refuse(50);
            sendCommand(format("USER %s\r\n", w_.userName));
            w_.state = kWaitUser;
            return;
        case kWaitUser:
            if (!ok)
                return refuse(2);
            sendCommand(format("PASS %s\r\n", w_.password));
            w_.state = kWaitPass;
            return;
        case kWaitPass:
            if (!ok)
                return refuse(3);
            loggedIn_ = true;
            notify(0, 2);
            sendCommand("STAT\r\n");
            w_.state = kWaitStat;
            return;
        case kWaitStat:
            if (!ok)
                return refuse(4);
            w_.messageCount = parseStatCount(reply);
            notify(w_.messageCount, 4);
            w_.messageNumber = 1;
            if (w_.messageCount >= 1)
                retrieve(w_.messageNumber);
            else
                sendQuit();
            return;
        case kWaitDele:
            if (!ok)
                return refuse(4);
            nextMessage();
            return;
        case kWaitQuit:
            // After a failure the QUIT only commits the deletions so far:
            // the session did not complete.
            if (ok && !closing_) {
                log("Session Complete", 9);
                notify(0, 10);
            }
            w_.stop = true;
            return;
        default:
            w_.stop = true;
            return;
        }
    }

    // A refused reply: its pair, then QUIT once logged in (only QUIT makes
    // the server apply the DELEs of this session), else the common ending.
    void refuse(int wParam)
    {
        notify(wParam, -1);
        if (loggedIn_)
            quitAfterFailure();
        else
            w_.stop = true;
    }

    // Ends a session whose connection is still usable after the password
    // was accepted: QUIT, and its reply is waited for (state 107) so that
    // the server deletes the messages stored whole. The wait is the receive
    // wait, as for every reply.
    void quitAfterFailure()
    {
        closing_ = true;
        pending_.clear();
        sendQuit();
    }

    void nextMessage()
    {
        ++w_.messageNumber;
        if (w_.messageNumber > w_.messageCount)
            sendQuit();
        else
            retrieve(w_.messageNumber);
    }

    void retrieve(int n)
    {
        notify(n, 5);
        w_.firstLine = true;
        seen_.clear();
        lineStart_ = true;
        w_.state = kWaitRetr;
        sendCommand(format("RETR %d\r\n", n));
    }

    void sendQuit()
    {
        sendCommand("QUIT\r\n");
        w_.state = kWaitQuit;
    }

    void sendCommand(const std::string& command)
    {
        w_.command = command;
        w_.sendBuffer.assign(command.begin(), command.end());
        w_.socket->send(w_.sendBuffer, -1);
        log("-> " + withoutLineEnd(command), 9);
    }

    static std::string format(const char* f, const std::string& arg)
    {
        std::string out;
        for (const char* p = f; *p; ++p) {
            if (p[0] == '%' && p[1] == 's') {
                out += arg;
                ++p;
            } else {
                out += *p;
            }
        }
        return out;
    }
    static std::string format(const char* f, int n)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, f, n);
        return buf;
    }

    // ---- Message handling: state 105. Only CR LF "." CR LF ends a
    // message: a dot line ends it only where a line begins (after CR LF),
    // and the raw-block test looks for the whole sequence in the bytes of
    // this receive joined to the last bytes of the reply before them, so a
    // bare LF before a dot line never ends a message, whether the two meet
    // in one receive, across receives or across bytes written in bulk.
    Next handleMessage()
    {
        std::string stream = seen_ + block_;
        std::size_t endAt = stream.find("\r\n.\r\n");
        // Bytes of this receive after the terminating sequence, if it is here.
        std::size_t afterEnd = endAt == std::string::npos ? 0 : stream.size() - (endAt + 5);
        seen_ = stream.substr(stream.size() > 4 ? stream.size() - 4 : 0);
        if (discarding_) {
            // The rest of a message whose file failed: read, dropped, and
            // QUIT once the server has sent the whole reply.
            if (endAt != std::string::npos)
                quitAfterFailure();
            return Next::Receive;
        }
        pending_ += block_;

        bool bulk = pending_.size() > kBulkAt;
        std::size_t found = bulk ? pending_.size() : pending_.find("\r\n");
        while (found != std::string::npos) {
            std::size_t length = bulk ? pending_.size() : found + 2;
            std::string line = pending_.substr(0, length);
            if (w_.firstLine) {
                w_.firstLine = false;
                log("<- " + withoutLineEnd(line), 9);
                if (upperAscii(line).compare(0, 4, "-ERR") == 0)
                    return retrRefused();
                if (!openMessageFile())
                    return fileFailedEnding(endAt != std::string::npos);
            } else if (lineStart_ && line.compare(0, 3, ".\r\n") == 0) {
                pending_.erase(0, length);
                if (!finishMessageFile())
                    return fileFailedEnding(true);
                log("Found EOM, Closing file", 9);
                w_.state = kWaitDele;
                sendCommand(format("DELE %d\r\n", w_.messageNumber));
                // Anything after the dot line is not part of the message.
                return Next::Receive;
            } else if (!writeMessage(line)) {
                return fileFailedEnding(endAt != std::string::npos);
            }
            // Bulk bytes may end in the middle of a line.
            lineStart_ = endsWithLineEnd(line);
            if (bulk) {
                pending_.clear();
                break;
            }
            pending_.erase(0, length);
            found = pending_.find("\r\n");
        }
        if (w_.state == kWaitRetr && endAt != std::string::npos)
            return endFoundInRawBlock(afterEnd);
        return Next::Receive;
    }

    // The end of a message whose last lines went out in bulk. When the
    // sequence began in bytes already written, the rest of the dot line
    // joins them, so the file ends the same way; `afterEnd` bytes of the
    // receive follow the sequence and are not part of the message.
    Next endFoundInRawBlock(std::size_t afterEnd)
    {
        std::size_t rest = pending_.size() > afterEnd ? pending_.size() - afterEnd : 0;
        if (rest > 0 && !writeMessage(pending_.substr(0, rest)))
            return fileFailedEnding(true);
        if (!finishMessageFile())
            return fileFailedEnding(true);
        log("Found EOM, Closing & flushing buffer", 9);
        w_.receiveBuffer.assign(kReceiveSize, '\0');
        pending_.clear();
        block_.clear();
        w_.state = kWaitDele;
        sendCommand(format("DELE %d\r\n", w_.messageNumber));
        return Next::Receive;
    }

    // "-ERR" to RETR: a message the server cannot serve stays there and the
    // session goes on with the next; once the DELEs before it are committed
    // it would otherwise stop every later session.
    Next retrRefused()
    {
        char text[96];
        std::snprintf(text, sizeof text, "POP3 Client RETR %d refused, message %d left on the server",
                      w_.messageNumber, w_.messageNumber);
        log(text, 1);
        pending_.clear();
        nextMessage();
        return Next::Receive;
    }

    // A message file that could not be created, written or closed (logged,
    // the file removed): the message stays on the server. The server is
    // still sending its RETR reply, so the rest of it is read and dropped
    // first (replyComplete: it has all arrived), then QUIT.
    Next fileFailedEnding(bool replyComplete)
    {
        pending_.clear();
        if (replyComplete)
            quitAfterFailure();
        else
            discarding_ = true;
        return Next::Receive;
    }

    static bool endsWithLineEnd(const std::string& s)
    {
        return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0;
    }

    bool openMessageFile()
    {
        filePath_ = messageFilePath(w_.folder, w_.messageNumber);
        if (filePath_.empty()) {
            log("POP3 Client message file path too long, message " +
                    std::to_string(w_.messageNumber) + " left on the server",
                1);
            return false;
        }
        file_ = o_.createFile ? o_.createFile(filePath_) : createMessageFile(filePath_);
        if (!file_) {
            log("POP3 Client could not create " + filePath_ + ", message " +
                    std::to_string(w_.messageNumber) + " left on the server",
                1);
            return false;
        }
        return true;
    }

    bool writeMessage(const std::string& bytes)
    {
        if (file_ && file_->write(bytes.data(), bytes.size()))
            return true;
        fileFailed();
        return false;
    }

    // Closes the complete message; false (logged, file removed) when the
    // file does not hold all of it.
    bool finishMessageFile()
    {
        if (!file_) {
            // Only a status line that opened no file can lead here.
            fileFailed();
            return false;
        }
        bool complete = file_->close();
        file_.reset();
        if (!complete) {
            fileFailed();
            return false;
        }
        return true;
    }

    void fileFailed()
    {
        log("POP3 Client could not write " + filePath_ + ", message " +
                std::to_string(w_.messageNumber) + " left on the server",
            1);
        file_.reset();
        if (!filePath_.empty())
            removeMessageFile(filePath_);
    }

    void closeMessageFile()
    {
        if (file_) {
            file_->close();
            file_.reset();
        }
    }

    // ---- Endings.
    int timedOut()
    {
        log("Timed out waiting for data, Closing connection", 3);
        w_.socket->send(w_.sendBuffer, -1);
        notify(100, -1);
        return commonEnding();
    }

    int receiveError()
    {
        int error = w_.socket->lastError();
        notify(101, -1);
        if (error == 10054) {
            log("POP3 Client closed, Connection reset by peer.", 5);
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "POP3 Client receive error %d", error);
            log(text, 1);
        }
        return commonEnding();
    }

    // A reply without line end past the limit. Once logged in (and before
    // QUIT) the session drops the rest of that reply up to its line end and
    // then waits for the reply to QUIT.
    Next replyTooLong()
    {
        notify(101, -1);
        log("POP3 Client closed, reply without line end too long.", 1);
        if (!loggedIn_ || w_.state == kWaitQuit)
            return Next::End;
        quitAfterFailure();
        skipLine_ = true;
        skipped_ = 0;
        return Next::Receive;
    }

    // Drops pending text up to and including the line end of the reply that
    // was too long; End when another limit's worth passes without one.
    Next skipRestOfLongReply()
    {
        std::size_t at = pending_.find("\r\n");
        if (at != std::string::npos) {
            pending_.erase(0, at + 2);
            skipLine_ = false;
            return Next::Receive;
        }
        skipped_ += pending_.size();
        // A CR at the end may begin the line end.
        bool cr = !pending_.empty() && pending_.back() == '\r';
        pending_ = cr ? "\r" : "";
        if (skipped_ > net::kReplyLimit) {
            log("POP3 Client closed, no reply to QUIT.", 1);
            return Next::End;
        }
        return Next::Receive;
    }

    int commonEnding()
    {
        log("POP3 Client closed.", 8);
        w_.socket->close(true, kLingerSeconds);
        closeMessageFile();
        notifyLast(0, 500);
        return 0;
    }

    pop3worker& w_;
    const Pop3SessionOptions& o_;
    std::string pending_;   // received, not yet handled
    std::string block_;     // the bytes of the last receive
    std::string seen_;      // the last bytes (at most 4) of the RETR reply before this block
    bool lineStart_ = true; // the pending text begins a line of the message
    bool loggedIn_ = false;   // the password was accepted: endings send QUIT
    bool closing_ = false;    // QUIT sent to end after a failure
    bool discarding_ = false; // the rest of a RETR reply is dropped, then QUIT
    bool skipLine_ = false;   // the rest of a too-long reply is dropped, then its QUIT reply read
    std::size_t skipped_ = 0; // bytes dropped so far while skipLine_
    std::unique_ptr<MessageFile> file_;
    std::string filePath_;  // of file_, or of the last message file
    int received_ = 0;
};

}  // namespace

int parseStatCount(const std::string& reply)
{
    std::string rest = trimSpaces(reply);
    rest = rest.size() > 3 ? trimSpaces(rest.substr(3)) : std::string();
    rest = rest.substr(0, rest.find(' '));
    // Leading blanks, optional sign, digits; no digits give 0. The 32-bit
    // C runtime clamps what does not fit.
    return static_cast<int>(std::strtol(rest.c_str(), nullptr, 10));
}

int runPop3Session(pop3worker& worker, const Pop3SessionOptions& options)
{
    try {
        Session session(worker, options);
        return session.run();
    } catch (...) {
        // Out of memory: end as a failed session would, without a socket
        // left open.
        if (worker.socket)
            worker.socket->close(true, kLingerSeconds);
        void* window = worker.hostWindow;
        int base = worker.eventBase;
        worker.busy = false;
        net::notifyHost(window, base, 0, 500);
        return 0;
    }
}

int pop3ThreadEntry(void* worker)
{
    static const Pop3SessionOptions options;
    return runPop3Session(*static_cast<pop3worker*>(worker), options);
}

}  // namespace pop3
