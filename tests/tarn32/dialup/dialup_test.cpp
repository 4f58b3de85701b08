// The dial-up exports of tarn32.dll against the rasapi32.dll double: what the
// dial hands the Remote Access Service, the progress reaching a real window,
// status, hang-up and the stored dial parameters.
#include "dialwindow.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using dialtest::ProgressWindow;
using dialtest::RasDouble;
using dialtest::Tarn32Dialup;

const std::vector<int> kScript = {kRasOpenPort,     kRasPortOpened, kRasConnectDevice,
                                  kRasDeviceConnected, kRasAuthenticate, kRasAuthenticated};

class DialupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ras = new RasDouble("rasdouble");
        tarn = new Tarn32Dialup;
    }
    void SetUp() override
    {
        ASSERT_TRUE(ras->loaded());
        ASSERT_TRUE(tarn->complete());
        ras->reset();
        ras->addEntry("office", "anna", "s3cret");
        ras->setScript(kScript, 0);
    }
    int dial(const char* entry, const char* user, const char* password)
    {
        int window = static_cast<int>(reinterpret_cast<INT_PTR>(win.handle()));
        return tarn->dial(&window, 77, entry, user, password, 99);
    }
    static bool endsWith(const std::vector<std::pair<int, int>>& ev, int state)
    {
        return !ev.empty() && ev.back().first == state;
    }
    static bool failed(const std::vector<std::pair<int, int>>& ev)
    {
        return !ev.empty() && ev.back().second != 0;
    }

    static RasDouble* ras;
    static Tarn32Dialup* tarn;
    ProgressWindow win;
};
RasDouble* DialupTest::ras = nullptr;
Tarn32Dialup* DialupTest::tarn = nullptr;

TEST_F(DialupTest, DialHandsTheEntryAndCredentialsInTheOriginalRecord)
{
    ASSERT_EQ(dial("office", "anna", "s3cret"), 0);
    RasDoubleDialSeen seen = ras->lastDial();
    EXPECT_EQ(seen.recordSize, 1052u);
    EXPECT_STREQ(seen.entry, "office");
    EXPECT_STREQ(seen.phoneNumber, "");
    EXPECT_STREQ(seen.callbackNumber, "");
    EXPECT_STREQ(seen.user, "anna");
    EXPECT_STREQ(seen.password, "s3cret");
    EXPECT_STREQ(seen.domain, "*");
    EXPECT_EQ(seen.notifierType, 0u);
    EXPECT_EQ(seen.phoneBookGiven, 0);
    EXPECT_EQ(seen.extensionsGiven, 0);
    ASSERT_TRUE(win.pumpUntil([](const auto& ev) { return endsWith(ev, kRasConnected); }));
}

TEST_F(DialupTest, EveryProgressNotificationReachesTheWindowWithStateAndError)
{
    ASSERT_EQ(dial("office", "anna", "s3cret"), 0);
    ASSERT_TRUE(win.pumpUntil([](const auto& ev) { return endsWith(ev, kRasConnected); }));
    std::vector<std::pair<int, int>> expected;
    for (int s : kScript)
        expected.emplace_back(s, 0);
    expected.emplace_back(kRasConnected, 0);
    EXPECT_EQ(win.events, expected);

    int error = -5, state = -5;
    EXPECT_EQ(tarn->status(&error, &state), 0);  // the double refuses any size but 160
    EXPECT_EQ(error, 0);
    EXPECT_EQ(state, kRasConnected);
}

TEST_F(DialupTest, AFailingDialReportsItsErrorInTheLastNotificationAndTheStatus)
{
    struct Case {
        const char* name;
        const char* password;
        DWORD scriptError;
        int failState;
        int error;
    } cases[] = {
        {"wrong password fails at authentication", "guess", 0, kRasAuthenticate, 691},
        {"line drops after authentication", "s3cret", 678, kRasAuthenticated, 678},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ras->reset();
        ras->addEntry("office", "anna", "s3cret");
        ras->setScript(kScript, c.scriptError);
        win.events.clear();
        ASSERT_EQ(dial("office", "anna", c.password), 0);
        ASSERT_TRUE(win.pumpUntil(failed));
        EXPECT_EQ(win.events.back(), std::make_pair(c.failState, c.error));
        int error = 0, state = 0;
        EXPECT_EQ(tarn->status(&error, &state), 0);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(state, c.failState);
    }
}

TEST_F(DialupTest, UnknownEntryIsRefusedAndClearsTheConnectionHandle)
{
    ASSERT_EQ(dial("office", "anna", "s3cret"), 0);
    ASSERT_TRUE(win.pumpUntil([](const auto& ev) { return endsWith(ev, kRasConnected); }));
    win.events.clear();
    EXPECT_EQ(dial("nowhere", "anna", "s3cret"), 623);
    // The status now asks about handle 0, not the earlier connection.
    int error = -5, state = -5;
    EXPECT_EQ(tarn->status(&error, &state), 6);
    win.pumpFor(100);
    EXPECT_TRUE(win.events.empty());
}

TEST_F(DialupTest, HangUpActsOnTheLastDialAndWaitsThreeSecondsAlsoOnFailure)
{
    ASSERT_EQ(dial("office", "anna", "s3cret"), 0);
    ASSERT_TRUE(win.pumpUntil([](const auto& ev) { return endsWith(ev, kRasConnected); }));

    for (int expected : {0, 6}) {  // the second hang-up finds the connection gone
        SCOPED_TRACE(expected);
        LARGE_INTEGER freq, start, end;
        QueryPerformanceFrequency(&freq);
        QueryPerformanceCounter(&start);
        EXPECT_EQ(tarn->hangUp(), expected);
        QueryPerformanceCounter(&end);
        // 3000 ms, less the clock's own granularity.
        EXPECT_GE((end.QuadPart - start.QuadPart) * 1000 / freq.QuadPart, 2950);
    }
    EXPECT_EQ(ras->calls("RasHangUpA"), 2);
    // The handle is kept after a hang-up: the status asks about it and the
    // double no longer knows it.
    int error = 0, state = 0;
    EXPECT_EQ(tarn->status(&error, &state), 6);
}

TEST_F(DialupTest, DialParamsCopyOnSuccessTranslateThreeErrorsAndLeaveBuffersOtherwise)
{
    const std::string longUser(256, 'u');
    const std::string longPassword(256, 'p');
    ras->addEntry("long", longUser.c_str(), longPassword.c_str());
    struct Case {
        const char* entry;
        DWORD forced;  // 0: none
        int result;
        std::string user;
        std::string password;
    } cases[] = {
        {"office", 0, 0, "anna", "s3cret"},
        {"long", 0, 0, longUser, longPassword},
        {"nowhere", 0, -12, "", ""},
        {"office", 610, -10, "", ""},
        {"office", 621, -11, "", ""},
        {"office", 623, -12, "", ""},
        {"office", 632, 632, "", ""},
        {"office", 5, 5, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " forced " + std::to_string(c.forced));
        if (c.forced)
            ras->failNext("RasGetEntryDialParamsA", c.forced);
        char user[300], password[300];
        std::memset(user, 'Q', sizeof user);
        std::memset(password, 'Q', sizeof password);
        EXPECT_EQ(tarn->params(c.entry, user, password), c.result);
        if (c.result == 0) {
            EXPECT_EQ(std::string(user), c.user);
            EXPECT_EQ(std::string(password), c.password);
            EXPECT_EQ(user[c.user.size() + 1], 'Q');  // nothing past the NUL
        } else {
            EXPECT_EQ(std::string(user, sizeof user), std::string(sizeof user, 'Q'));
            EXPECT_EQ(std::string(password, sizeof password), std::string(sizeof password, 'Q'));
        }
    }
}

TEST_F(DialupTest, StringsPastTheirWidthAreRefusedBeforeReachingRas)
{
    const std::string tooLong(257, 'x');
    const std::string longest(256, 'x');
    EXPECT_EQ(dial(tooLong.c_str(), "anna", "s3cret"), 610);
    EXPECT_EQ(dial("office", tooLong.c_str(), "s3cret"), 610);
    EXPECT_EQ(dial("office", "anna", tooLong.c_str()), 610);
    EXPECT_EQ(ras->calls("RasDialA"), 0);
    char user[257] = "keep", password[257] = "keep";
    EXPECT_EQ(tarn->params(tooLong.c_str(), user, password), -10);
    EXPECT_EQ(ras->calls("RasGetEntryDialParamsA"), 0);
    EXPECT_STREQ(user, "keep");
    // At the width the strings pass unchanged.
    EXPECT_EQ(dial(longest.c_str(), "anna", "s3cret"), 623);
    EXPECT_EQ(std::string(ras->lastDial().entry), longest);
}

}  // namespace
