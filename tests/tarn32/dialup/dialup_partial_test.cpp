// The dial-up exports of tarn32.dll against a rasapi32.dll that has RasDialA
// but lacks the other three functions: those exports must not call through
// a missing function.
#include "dialwindow.h"

#include <gtest/gtest.h>

namespace {

TEST(DialupWithIncompleteRas, ExportsWhoseFunctionIsMissingReturnTheirUnavailableResult)
{
    dialtest::RasDouble ras("rasdouble_partial");
    ASSERT_TRUE(ras.loaded());
    ASSERT_EQ(ras.get<void>("RasHangUpA"), nullptr);
    dialtest::Tarn32Dialup tarn;
    ASSERT_TRUE(tarn.complete());
    ras.reset();
    ras.addEntry("office", "anna", "s3cret");

    dialtest::ProgressWindow win;
    int window = static_cast<int>(reinterpret_cast<INT_PTR>(win.handle()));
    EXPECT_EQ(tarn.dial(&window, 0, "office", "anna", "s3cret", 0), 0);
    EXPECT_EQ(ras.calls("RasDialA"), 1);  // the library that was loaded is the double
    EXPECT_TRUE(win.pumpUntil([](const auto& ev) { return !ev.empty() && ev.back().first == kRasConnected; }));

    EXPECT_EQ(tarn.hangUp(), -1000);
    int error = 1234, state = 5678;
    EXPECT_EQ(tarn.status(&error, &state), -1000);
    EXPECT_EQ(error, 1234);
    char user[257] = "keep", password[257] = "keep";
    EXPECT_EQ(tarn.params("office", user, password), -1);
    EXPECT_STREQ(user, "keep");
}

}  // namespace
