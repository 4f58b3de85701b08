// The dial-up exports of tarn32.dll in a process where rasapi32.dll cannot be
// loaded (WINEDLLOVERRIDES disables it for this test executable).
#include "dialwindow.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(DialupWithoutRas, EveryExportReportsTheMissingLibraryAndTouchesNothing)
{
    ASSERT_EQ(LoadLibraryA("rasapi32.dll"), nullptr) << "rasapi32 is not disabled here";
    dialtest::Tarn32Dialup tarn;
    ASSERT_TRUE(tarn.complete());
    int window = 0;
    for (int round = 0; round < 2; ++round) {  // a failed load is tried again
        SCOPED_TRACE(round);
        EXPECT_EQ(tarn.dial(&window, 0, "office", "anna", "s3cret", 0), -1000);
        EXPECT_EQ(tarn.hangUp(), -1000);
        int error = 1234, state = 5678;
        EXPECT_EQ(tarn.status(&error, &state), -1000);
        EXPECT_EQ(error, 1234);
        EXPECT_EQ(state, 5678);
        char user[257] = "keep user", password[257] = "keep password";
        EXPECT_EQ(tarn.params("office", user, password), -1);
        EXPECT_STREQ(user, "keep user");
        EXPECT_STREQ(password, "keep password");
    }
}

}  // namespace
