// The reading of progress pairs that every host command shares: which pair
// ends a session, and what the session achieved. Sequences as the
// libraries post them, the failure paths included.
#include "popwatch.h"
#include "smtpwatch.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<int, int>>;

// The index of the pair the watch took as the last, -1 when none was.
template <typename Watch>
int lastAt(Watch& watch, const Pairs& pairs)
{
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (watch.take(pairs[i].first, pairs[i].second))
            return static_cast<int>(i);
    }
    return -1;
}

TEST(PopWatch, EndsOnTheLastPairOfEveryPath)
{
    struct Case {
        const char* what;
        Pairs pairs;
        int lastAt;
        bool complete, failed;
        int finished;
    } cases[] = {
        {"empty mailbox", {{0, 1}, {0, 2}, {0, 4}, {0, 10}, {0, 500}}, 4, true, false, 0},
        {"two messages", {{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {0, 10}, {0, 500}}, 6, true, false, 2},
        {"connect failed: no (0, 500) follows", {{100, -1}}, 0, false, true, 0},
        {"socket not set up", {{0, -1000}}, 0, false, true, 0},
        {"no data after connecting ends on (0, 500)", {{0, 1}, {100, -1}, {0, 500}}, 2, false, true, 0},
        {"password refused", {{0, 1}, {3, -1}, {0, 500}}, 2, false, true, 0},
        {"reset in message 2", {{0, 1}, {0, 2}, {3, 4}, {1, 5}, {2, 5}, {101, -1}, {0, 500}}, 6, false, true, 1},
        {"still running", {{0, 1}, {0, 2}, {3, 4}, {1, 5}}, -1, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PopWatch w;
        EXPECT_EQ(lastAt(w, c.pairs), c.lastAt);
        EXPECT_EQ(w.complete(), c.complete);
        EXPECT_EQ(w.failed(), c.failed);
        EXPECT_EQ(w.finished(), c.finished);
    }
}

TEST(PopWatch, TheLastMessageIsWholeOnlyAfterANormalEnd)
{
    PopWatch cut;
    lastAt(cut, {{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {101, -1}, {0, 500}});
    EXPECT_TRUE(cut.storedWhole(1));
    EXPECT_FALSE(cut.storedWhole(2));

    PopWatch whole;
    lastAt(whole, {{0, 1}, {0, 2}, {2, 4}, {1, 5}, {2, 5}, {0, 10}, {0, 500}});
    EXPECT_TRUE(whole.storedWhole(2));
    EXPECT_FALSE(whole.storedWhole(3));
}

TEST(SmtpWatch, EndsOnTheLastPairAndTellsWhetherTheRelayTookTheMessage)
{
    struct Case {
        const char* what;
        Pairs pairs;
        int lastAt;
        bool delivered, refusals;
    } cases[] = {
        {"accepted",
         {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {50, 99}, {100, 99}, {0, 100}, {0, 10}, {0, 500}},
         8, true, false},
        {"one recipient refused, the other took it",
         {{0, 1}, {50, 1}, {51, 1}, {52, -1}, {52, 1}, {0, 100}, {0, 10}, {0, 500}}, 7, true, true},
        {"message not accepted", {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {-1, 10}, {0, 500}},
         6, false, false},
        {"sender refused", {{0, 1}, {50, 1}, {51, -1}, {0, 500}}, 3, false, true},
        {"reset after the content", {{0, 1}, {50, 1}, {51, 1}, {52, 1}, {0, 100}, {101, -1}, {0, 500}},
         6, false, false},
        {"connect failed: no (0, 500) follows", {{100, -1}}, 0, false, false},
        {"socket not set up", {{10, -1}}, 0, false, false},
        {"no data after connecting ends on (0, 500)", {{0, 1}, {100, -1}, {0, 500}}, 2, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SmtpWatch w;
        EXPECT_EQ(lastAt(w, c.pairs), c.lastAt);
        EXPECT_EQ(w.delivered(), c.delivered);
        EXPECT_EQ(w.refusals(), c.refusals);
    }
}

}  // namespace
