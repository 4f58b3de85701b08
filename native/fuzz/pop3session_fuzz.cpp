// The POP3 session's reply and message handling on arbitrary server bytes,
// split into receives at arbitrary points, with closes, resets and silences
// between them. Input: a sequence of events, each a control byte and, for a
// block of bytes, the length it gives and that many bytes.
//   control 0xF0: the server closes    0xF1: the connection resets
//   control 0xF2: the server is silent other c: a block of (c % 200) + 1
// Checks: a DELE n goes out only once the file of message n was closed
// complete; nothing but QUIT again (the time-out's repeat) follows QUIT;
// the session's last pair is (0, 500).
#include "fuzz_input.h"
#include "logger.h"
#include "pop3session.h"
#include "pop3worker.h"
#include "progressrecorder.h"
#include "scriptedtransport.h"

#include <cstdlib>
#include <map>

namespace {

struct Store {
    std::map<std::string, std::string> bytes;  // path -> content written
    std::map<std::string, bool> complete;      // path -> closed completely
};

class MemoryFile : public pop3::MessageFile {
public:
    MemoryFile(Store& s, std::string p) : s_(s), p_(std::move(p)) { s_.complete[p_] = false; s_.bytes[p_].clear(); }
    bool write(const char* d, std::size_t n) override
    {
        s_.bytes[p_].append(d, n);
        return true;
    }
    bool close() override
    {
        s_.complete[p_] = true;
        return true;
    }

private:
    Store& s_;
    std::string p_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::deque<nettest::ServerEvent> script;
    for (size_t i = 0; i < size;) {
        uint8_t c = data[i++];
        nettest::ServerEvent e;
        if (c == 0xF0) {
            e.kind = nettest::ServerEvent::kClose;
        } else if (c == 0xF1) {
            e.kind = nettest::ServerEvent::kReset;
        } else if (c == 0xF2) {
            e.kind = nettest::ServerEvent::kSilence;
        } else {
            size_t n = c % 200 + 1;
            if (n > size - i)
                n = size - i;
            e.bytes.assign(reinterpret_cast<const char*>(data + i), n);
            i += n;
        }
        script.push_back(std::move(e));
    }
    Store store;
    net::ProgressRecorder progress;
    pop3::pop3worker w;
    w.hostWindow = &progress;
    w.folder = "box";
    w.userName = "user";
    w.password = "secret";
    w.useHostName = false;
    w.hostAddress = "127.0.0.1";
    nettest::ScriptedTransport* t = nullptr;
    pop3::Pop3SessionOptions o;
    o.makeSocket = [&] {
        auto s = std::make_unique<nettest::ScriptedTransport>(std::move(script));
        t = s.get();
        t->onSend = [&, quitSent = false](const std::string& cmd) mutable {
            if (quitSent && cmd != "QUIT\r\n")
                std::abort();  // a command after the session's QUIT
            quitSent = quitSent || cmd == "QUIT\r\n";
            if (cmd.compare(0, 5, "DELE ") == 0) {
                std::string path = pop3::messageFilePath(w.folder, std::atoi(cmd.c_str() + 5));
                if (!store.complete[path])
                    std::abort();  // deleted on the server before it was stored
            }
        };
        return s;
    };
    o.createFile = [&](const std::string& path) -> std::unique_ptr<pop3::MessageFile> {
        return std::make_unique<MemoryFile>(store, path);
    };
    pop3::runPop3Session(w, o);
    if (progress.pairs.empty() || progress.pairs.back() != std::make_pair(0, 500))
        std::abort();
    if (w.busy)
        std::abort();
    return 0;
}
