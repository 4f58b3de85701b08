// Error texts by Windows Sockets number, and the numbers without one.
#include "errortext.h"
#include "wsocket.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ErrorText, KnownNumbersAndGaps)
{
    struct Case {
        int number;
        const char* want;
    } cases[] = {
        {10004, "Interrupted system call"},
        {10047, "Address family not supported by protocol family"},
        {10054, "Connection reset by peer"},
        {10059, "Too many references: cannot splice"},
        {10061, "Connection refused"},
        {10093, "Successful WSAStartup() not yet performed"},
        {11001, "Authoritative answer: host not found"},
        {11004, "Valid name, no data record of requested type"},
        // Numbers in the range without a text of their own.
        {0, ""}, {-1, ""}, {10000, ""}, {10066, ""}, {10068, ""}, {10069, ""},
        {10072, ""}, {10090, ""}, {10102, ""}, {11000, ""}, {11005, ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(net::errorText(c.number), c.want) << c.number;
        EXPECT_STREQ(net::WSocket::errorText(c.number), c.want) << c.number;
    }
}

}  // namespace
