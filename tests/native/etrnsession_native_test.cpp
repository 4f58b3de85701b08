// The ETRN session natively, behind a scripted transport: each dialogue with
// the server's replies split into receives of every size and whole gives the
// same commands; a close, reset or silence after every reply ends the
// session with 0, done set, the socket closed once and, on silence, the last
// command sent once more.
#include "etrnsession.h"
#include "qflushworker.h"
#include "scriptedtransport.h"

#include <gtest/gtest.h>

namespace {

using nettest::ServerEvent;
using Commands = std::vector<std::string>;

struct Outcome {
    int result = 0;
    Commands sent;
    int closes = 0;
    bool done = false;
    std::size_t eventsLeft = 0;  // server events never taken
};

// `whole` keeps a multi-line reply in one receive, where the session takes
// a receive as one reply (every state but the EHLO reply).
struct Event {
    ServerEvent e;
    bool whole = false;
};
Event reply(const std::string& b) { return {{ServerEvent::kBytes, b}, false}; }
Event wholeReply(const std::string& b) { return {{ServerEvent::kBytes, b}, true}; }
Event fault(ServerEvent::Kind k) { return {{k, ""}, false}; }

Outcome run(const std::vector<Event>& events, std::size_t split, bool connects = true)
{
    std::deque<ServerEvent> script;
    for (const Event& ev : events) {
        if (ev.e.kind != ServerEvent::kBytes || split == 0 || ev.whole) {
            script.push_back(ev.e);
            continue;
        }
        for (std::size_t i = 0; i < ev.e.bytes.size(); i += split)
            script.push_back({ServerEvent::kBytes, ev.e.bytes.substr(i, split)});
    }
    etrn::q_flush w;
    w.useHostName = false;
    w.hostAddress = "127.0.0.1";
    w.domain = "flush.test";
    nettest::ScriptedTransport* t = nullptr;
    etrn::EtrnSessionOptions o;
    o.makeSocket = [&] {
        auto p = std::make_unique<nettest::ScriptedTransport>(std::move(script), connects);
        t = p.get();
        return p;
    };
    o.localName = [] { return std::string("me.local"); };
    Outcome out;
    out.result = etrn::runEtrnSession(w, o);
    out.done = w.done;
    out.sent = t->sent;
    out.closes = t->closes;
    out.eventsLeft = t->eventsLeft();
    return out;
}

const std::string kEhlo = "EHLO me.local\r\n";
const std::string kEtrn = "ETRN flush.test\r\n";
const std::string kQuit = "QUIT\r\n";

TEST(EtrnSessionNative, DialoguesGiveTheSameCommandsHoweverTheRepliesAreSplit)
{
    struct Dialogue {
        const char* name;
        std::vector<Event> events;
        Commands sent;
    };
    const Dialogue dialogues[] = {
        // As a real relay answers it.
        {"relay with ETRN",
         {reply("220 relay.tarn.test ESMTP\r\n"),
          reply("250-relay.tarn.test\r\n250-PIPELINING\r\n250-ETRN\r\n250 DSN\r\n"),
          reply("250 Queuing started\r\n"), reply("221 2.0.0 Bye\r\n")},
         {kEhlo, kEtrn, kQuit}},
        // RFC 5321 lets the last line be the code alone.
        {"EHLO reply ending in a bare 250 line",
         {reply("220 ready\r\n"), reply("250-mx\r\n250-ETRN\r\n250\r\n"), reply("250 ok\r\n"),
          reply("221 bye\r\n")},
         {kEhlo, kEtrn, kQuit}},
        {"ETRN refused: QUIT all the same",
         {reply("220 ready\r\n"), reply("250 mx\r\n"),
          reply("459 4.3.0 <flush.test>: service unavailable\r\n"), reply("221 bye\r\n")},
         {kEhlo, kEtrn, kQuit}},
        {"multi-line ETRN reply counts once",
         {reply("220 ready\r\n"), reply("250 mx\r\n"), wholeReply("250-one\r\n250 two\r\n"),
          reply("221 bye\r\n")},
         {kEhlo, kEtrn, kQuit}},
        {"220- greeting: nothing sent until the server closes",
         {wholeReply("220-first\r\n220 second\r\n")},
         {}},
        {"greeting beginning with 5 ends at once",
         {reply("554 go away\r\n"), reply("220 too late\r\n")},
         {}},
        {"other greeting: go on waiting",
         {reply("421 busy\r\n"), reply("220 ready\r\n"), reply("250 mx\r\n"), reply("250 ok\r\n"),
          reply("221 bye\r\n")},
         {kEhlo, kEtrn, kQuit}},
        {"EHLO refused ends the session",
         {reply("220 ready\r\n"), reply("501 5.5.4 Syntax: EHLO hostname\r\n"), reply("250 mx\r\n")},
         {kEhlo}},
        {"silence after ETRN: ETRN once more",
         {reply("220 ready\r\n"), reply("250 mx\r\n"), fault(ServerEvent::kSilence)},
         {kEhlo, kEtrn, kEtrn}},
    };
    for (const Dialogue& d : dialogues) {
        for (std::size_t split : {0, 1, 2, 3, 5, 7, 13, 499}) {
            SCOPED_TRACE(std::string(d.name) + ", split " + std::to_string(split));
            Outcome o = run(d.events, split);
            EXPECT_EQ(o.sent, d.sent);
            EXPECT_EQ(o.result, 0);
            EXPECT_TRUE(o.done);
            EXPECT_EQ(o.closes, 1);
        }
    }
}

TEST(EtrnSessionNative, CloseResetOrSilenceAfterEveryReplyEndsTheSession)
{
    const std::vector<std::string> replies = {"220 ready\r\n", "250 mx\r\n", "250 ok\r\n",
                                              "221 bye\r\n"};
    const Commands all = {kEhlo, kEtrn, kQuit};
    for (ServerEvent::Kind kind : {ServerEvent::kClose, ServerEvent::kReset, ServerEvent::kSilence}) {
        for (std::size_t k = 0; k < replies.size(); ++k) {
            SCOPED_TRACE("fault " + std::to_string(kind) + " after " + std::to_string(k) + " replies");
            std::vector<Event> events;
            for (std::size_t i = 0; i < k; ++i)
                events.push_back(reply(replies[i]));
            events.push_back(fault(kind));
            Outcome o = run(events, 0);
            Commands expected(all.begin(), all.begin() + static_cast<long>(k));
            if (kind == ServerEvent::kSilence && k > 0)
                expected.push_back(expected.back());
            EXPECT_EQ(o.sent, expected);
            EXPECT_EQ(o.result, 0);
            EXPECT_TRUE(o.done);
            EXPECT_EQ(o.closes, 1);
        }
    }
}

// A server that sends on and on without a line end, in the greeting or in
// the EHLO reply (read line by line): the session ends at the reply limit
// instead of holding all of it.
TEST(EtrnSessionNative, EndlessReplyWithoutLineEndEndsTheSessionAtTheLimit)
{
    for (const std::vector<std::string>& before :
         {std::vector<std::string>{}, std::vector<std::string>{"220 hi\r\n", "250-one\r\n"}}) {
        std::vector<Event> events;
        for (const std::string& b : before)
            events.push_back(reply(b));
        for (int i = 0; i < 400; ++i)
            events.push_back(wholeReply(std::string(1000, 'x')));
        events.push_back(reply("\r\n"));
        Outcome o = run(events, 0);
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.done);
        EXPECT_EQ(o.closes, 1);
        EXPECT_GT(o.eventsLeft, 300u);
        EXPECT_EQ(o.sent.size(), before.empty() ? 0u : 1u);  // EHLO at most
    }
}

TEST(EtrnSessionNative, FailedConnectGivesMinusOneAndNoSocketZero)
{
    Outcome refused = run({reply("220 ready\r\n")}, 0, false);
    EXPECT_EQ(refused.result, -1);
    EXPECT_TRUE(refused.done);
    EXPECT_TRUE(refused.sent.empty());

    etrn::q_flush w;
    etrn::EtrnSessionOptions none;
    none.makeSocket = [] { return std::unique_ptr<net::Transport>(); };
    EXPECT_EQ(etrn::runEtrnSession(w, none), 0);
    EXPECT_TRUE(w.done);
}

}  // namespace
