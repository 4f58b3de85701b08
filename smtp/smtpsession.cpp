// The SMTP session, written as the dialogue over a Transport: start-up, the
// receive loop, the HELO reply taken line by line, every other reply taken
// whole, the content transfer and the endings. Each step's log line and
// progress pair sit beside it.
#include "smtpsession.h"

#include "errortext.h"
#include "notifyhost.h"
#include "replyend.h"
#include "wthread.h"

#include <cstdio>
#include <cstring>

namespace smtp {

namespace {

constexpr int kLingerSeconds = 600;
constexpr int kConnectionReset = 10054;

// The text without its last two characters (the CR LF of a protocol line).
std::string withoutLineEnd(const std::string& s)
{
    return s.size() >= 2 ? s.substr(0, s.size() - 2) : std::string();
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// RCPT TO succeeds with 250, and with 251 (not local, will be forwarded)
// and 252 (cannot be verified, will be tried): the relay takes the message
// for that recipient in all three.
bool recipientTaken(const std::string& reply)
{
    return startsWith(reply, "250") || startsWith(reply, "251") || startsWith(reply, "252");
}

class Session {
public:
    Session(postgate& w, const SmtpSessionOptions& o) : w_(w), o_(o) {}

    void run()
    {
        if (start())
            receiveLoop();
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
    // The session's last pair: the worker is free again before the host can
    // see it, so the host may start the next session at once. Window and
    // base are read first: once busy is false the worker may be released.
    void notifyLast(int wParam, int lParam)
    {
        void* window = w_.hostWindow;
        int base = w_.eventBase;
        w_.busy = false;
        net::notifyHost(window, base, wParam, lParam);
    }

    // ---- Start-up (S). True when connected.
    bool start()
    {
        w_.closeRequested = false;
        w_.recipientAccepted = false;
        w_.state = AwaitGreeting;
        w_.refusalFile = nullptr;
        w_.envelopeFile = nullptr;
        pending_.clear();
        net::WThread::setThreadName("SMTP Client");

        w_.socket = o_.makeSocket ? o_.makeSocket() : net::makeSessionSocket();
        net::Transport* s = w_.socket.get();
        if (!s) {
            log("Could not create SMTP client socket!", 1);
            notifyLast(10, -1);
            return false;
        }
        if (!s->setPort(w_.port & 0xFFFF)) {
            log("SMTP Client could not set local port!", 1);
            notifyLast(10, -1);
            return false;
        }
        if (!s->open()) {
            log("Could not create SMTP Client socket!", 1);
            notifyLast(10, -1);
            return false;
        }
        if (w_.useHostName) {
            s->setHostName(w_.hostName);
            log("SMTP Client contacting host " + w_.hostName, 5);
        } else {
            s->setHostAddress(w_.hostAddress);
            log("SMTP Client contacting host at " + w_.hostAddress, 5);
        }
        if (!s->connect()) {
            log(std::string("SMTP Client connect failed: ") + net::errorText(s->lastError()), 1);
            s->close(false, 0);  // the descriptor is not used again
            notifyLast(100, -1);
            return false;
        }
        notify(0, 1);
        log("SMTP Client connected", 8);
        w_.receiveBuffer.assign(kReceiveSize, '\0');
        return true;
    }

    // ---- Receive loop (L). The HELO reply is taken line by line as its
    // lines arrive; in every other state the session waits for the whole
    // reply, however many receives it takes.
    void receiveLoop()
    {
        net::Transport& s = *w_.socket;
        for (;;) {
            // A relay that filters the message may take minutes to answer
            // its end; giving up earlier makes the host send it again.
            bool dataEnd = w_.state == AwaitDataEnd;
            if (!s.waitForData(dataEnd ? o_.dataEndWaitSeconds : o_.receiveWaitSeconds,
                               dataEnd ? o_.dataEndWaitMicroseconds : o_.receiveWaitMicroseconds))
                return timedOut();
            int count = s.receive(w_.receiveBuffer, -1);
            if (count < 0)
                return receiveFailed();
            pending_.append(w_.receiveBuffer.data(), static_cast<std::size_t>(count));
            bool ready = w_.state == AwaitHelo ? pending_.find("\r\n") != std::string::npos
                                               : net::holdsWholeReply(pending_);
            if (!ready) {
                if (count == 0)
                    return relayClosed();
                if (pending_.size() > net::kReplyLimit)
                    return replyTooLong();
                continue;
            }
            if (w_.state == AwaitHelo) {
                heloReply();
            } else {
                reply();
            }
            if (w_.closeRequested)
                return closing();
        }
    }

    void sendCommand(const std::string& text, bool logIt = true)
    {
        w_.command = text;
        w_.sendBuffer.assign(text.begin(), text.end());
        w_.socket->send(w_.sendBuffer, -1);
        if (logIt)
            log("-> " + withoutLineEnd(w_.command), 9);
    }

    // One envelope read: at most 79 bytes, up to and including a line feed.
    bool readEnvelopeLine(std::string& line)
    {
        if (!w_.envelopeFile)
            return false;
        char buffer[kEnvelopeLineSize];
        if (!std::fgets(buffer, sizeof buffer, w_.envelopeFile))
            return false;
        line = buffer;
        return true;
    }

    void closeEnvelope()
    {
        if (w_.envelopeFile) {
            std::fclose(w_.envelopeFile);
            w_.envelopeFile = nullptr;
        }
    }

    // ---- Reply to HELO (H): line by line, not upper-cased.
    void heloReply()
    {
        for (;;) {
            std::size_t end = pending_.find("\r\n");
            if (end == std::string::npos)
                return;
            log("<- " + pending_.substr(0, end), 9);
            if (startsWith(pending_, "250") && net::isLastReplyLine(pending_, 0, end)) {
                pending_.clear();
                return sendSender();
            }
            pending_.erase(0, end + 2);
        }
    }

    void sendSender()
    {
        w_.envelopeFile = std::fopen(w_.envelopePath.c_str(), "r+b");
        if (!w_.envelopeFile) {
            log("Unable to open envelope file " + w_.envelopePath, 1);
            w_.closeRequested = true;
            return;
        }
        std::string sender;
        if (!readEnvelopeLine(sender)) {
            log("No sender in envelope file " + w_.envelopePath, 1);
            w_.closeRequested = true;
            return;
        }
        w_.lastCommand = "MAIL FROM: " + sender;
        sendCommand(w_.lastCommand);
        w_.state = AwaitMailFrom;
    }

    // ---- Reply in any other state (R): the whole pending text, upper-cased.
    void reply()
    {
        std::string r = upperAscii(pending_);
        pending_.clear();
        log("<- " + withoutLineEnd(r), 9);
        switch (w_.state) {
        case AwaitGreeting:
            if (startsWith(r, "220")) {
                notify(50, 1);
                sendCommand("HELO " + w_.heloDomain + "\r\n");
                w_.state = AwaitHelo;
            } else {
                notify(50, -1);
                w_.closeRequested = true;
            }
            return;
        case AwaitMailFrom:
            if (startsWith(r, "250")) {
                notify(51, 1);
                return nextRecipient();
            }
            recordRefusal(r);
            notify(51, -1);
            w_.closeRequested = true;
            closeEnvelope();
            return;
        case AwaitRcptTo:
            if (recipientTaken(r)) {
                w_.recipientAccepted = true;
            } else {
                notify(52, -1);
                recordRefusal(r);
            }
            return nextRecipient();
        case AwaitData:
            if (startsWith(r, "354"))
                return transferContent();
            w_.closeRequested = true;
            return;
        case AwaitDataEnd:
            if (startsWith(r, "250")) {
                log("Message Accepted", 9);
            } else {
                log("Message NOT Accepted", 9);
                notify(-1, 10);
            }
            sendCommand("QUIT\r\n");
            w_.state = AwaitQuit;
            return;
        case AwaitQuit:
            // A success leaves closeRequested false: the relay closes.
            if (startsWith(r, "2")) {
                log("Session Complete", 9);
                notify(0, 10);
            } else {
                w_.closeRequested = true;
            }
            return;
        default:
            return;
        }
    }

    // ---- Next recipient (N).
    void nextRecipient()
    {
        std::string line;
        if (readEnvelopeLine(line)) {
            w_.lastCommand = "RCPT TO: " + line;
            sendCommand(w_.lastCommand);
            w_.state = AwaitRcptTo;
            return;
        }
        closeEnvelope();
        if (w_.state == AwaitMailFrom) {  // the envelope held no recipient
            w_.closeRequested = true;
            return;
        }
        notify(52, 1);
        if (w_.recipientAccepted) {
            sendCommand("DATA\r\n");
            w_.state = AwaitData;
        } else {
            w_.closeRequested = true;
        }
    }

    // ---- Record a refusal (B).
    void recordRefusal(const std::string& r)
    {
        std::string path = w_.folder + "\\smtp.bad";
        if (!w_.refusalFile && !w_.folderUnusable)
            w_.refusalFile = std::fopen(path.c_str(), "w+b");
        if (!w_.refusalFile) {
            log("Error - Unable to open  " + path, 1);
            return;
        }
        std::string record = "I said: " + w_.lastCommand + " Mailserver said: " + r;
        std::fwrite(record.data(), 1, record.size(), w_.refusalFile);
        std::fflush(w_.refusalFile);
    }

    // Sends count bytes of the chunk, completing short sends. False after a
    // failed send, logged.
    bool sendChunk(const char* bytes, long count)
    {
        long done = 0;
        while (done < count) {
            chunk_.assign(bytes + done, bytes + count);
            int sent = w_.socket->send(chunk_, -1);
            if (sent <= 0) {
                log(net::errorText(w_.socket->lastError()), 1);
                return false;
            }
            done += sent;
        }
        return true;
    }

    // ---- Content transfer (D), after the 354 reply.
    void transferContent()
    {
        std::unique_ptr<ContentFile> file =
            o_.openContent ? o_.openContent(w_.messagePath) : openContentFile(w_.messagePath);
        if (!file) {
            w_.closeRequested = true;
            log("unable to open " + w_.messagePath, 1);
            return;
        }
        long size = 0;
        bool sizeKnown = file->size(size);
        char buffer[32];
        if (sizeKnown) {
            std::snprintf(buffer, sizeof buffer, "Message Size %ld", size);
            log(buffer, 9);
        }
        char data[kChunkSize];
        long count = file->read(data, sizeof data);
        if (count < 0) {
            w_.closeRequested = true;
            return;
        }
        long total = count;
        if (sizeKnown) {
            std::snprintf(buffer, sizeof buffer, "Bytes sent %ld", total);
            log(buffer, 9);
        }
        if (!sendChunk(data, count)) {
            w_.closeRequested = true;
            return;
        }
        int last = -1;
        for (;;) {
            count = file->read(data, sizeof data);
            if (count <= 0)  // the end, or a failed read ends it there
                break;
            if (sizeKnown) {
                total += count;
                int percent = 0;
                if (progressStep(total, size, last, percent))
                    notify(percent, 99);
            }
            if (!sendChunk(data, count)) {
                w_.closeRequested = true;
                return;
            }
        }
        file.reset();
        sendCommand("\r\n.\r\n", false);
        log("Message Sent", 9);
        notify(0, 100);
        w_.state = AwaitDataEnd;
    }

    // ---- Endings.
    void timedOut()  // T
    {
        log("Timed out waiting for data, Closing connection", 3);
        if (!w_.sendBuffer.empty())
            w_.socket->send(w_.sendBuffer, -1);
        notify(100, -1);
        closing();
    }

    void receiveFailed()  // E
    {
        int error = w_.socket->lastError();
        notify(101, -1);
        if (error == kConnectionReset)
            log("SMTP Client closed, Connection reset by peer.", 5);
        else
            log(net::errorText(error), 1);
        closing();
    }

    // The relay sends on without ending its reply: a line without end, or
    // continuation lines without a last one.
    void replyTooLong()
    {
        notify(101, -1);
        if (pending_.find("\r\n") == std::string::npos)
            log("SMTP Client closed, reply without line end too long.", 1);
        else
            log("SMTP Client closed, reply without last line too long.", 1);
        closing();
    }

    void relayClosed()  // P
    {
        log("SMTP Client closed.", 8);
        closing();
    }

    void closing()  // C
    {
        log("SMTP Client closed.", 8);
        w_.socket->close(true, kLingerSeconds);
        if (w_.refusalFile) {
            std::fclose(w_.refusalFile);
            w_.refusalFile = nullptr;
        }
        closeEnvelope();
        notifyLast(0, 500);
    }

    postgate& w_;
    const SmtpSessionOptions& o_;
    std::string pending_;   // received text not yet consumed
    net::ByteBuffer chunk_;  // the bytes of a content send
};

}  // namespace

postgate::~postgate()
{
    if (envelopeFile)
        std::fclose(envelopeFile);
    if (refusalFile)
        std::fclose(refusalFile);
}

std::string upperAscii(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

bool progressStep(long total, long size, int& last, int& percent)
{
    if (size <= 0)
        return false;
    percent = static_cast<int>(static_cast<double>(total) * 100.0 / static_cast<double>(size));
    if (percent == last)
        return false;
    last = percent;
    return percent % 5 == 0;
}

void runSmtpSession(postgate& worker, const SmtpSessionOptions& options)
{
    try {
        Session(worker, options).run();
    } catch (...) {
        worker.busy = false;
    }
}

int smtpThreadEntry(void* worker)
{
    SmtpSessionOptions options;
    runSmtpSession(*static_cast<postgate*>(worker), options);
    return 0;
}

}  // namespace smtp
