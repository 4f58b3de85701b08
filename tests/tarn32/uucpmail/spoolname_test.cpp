#include "uucpmail/spoolname.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* spool;
    const char* sys1;
    const char* sys2;
    bool accepted;
    const char* shortName;
};

TEST(SpoolName, ShorteningRules)
{
    const Case cases[] = {
        {"D.gateA1b2C", "gate", "", true, "4A1b2C.D"},
        {"D.gateN0042abcdef", "gate", "other", true, "V2abcdef.D"},
        {"X.ab", "gate", "", true, "3ab.X"},
        {"D.gate", "gate", "", true, "0.D"},
        // The longer of the two common prefixes is removed, partial matches count.
        {"D.gatewayQ0001", "gate", "gatewa", true, "0yQ0001.D"},
        {"D.gatewayQ0001", "gatewa", "gate", true, "0yQ0001.D"},
        {"D.gaXy0001", "gate", "", true, "GXy0001.D"},
        // Matching is case-sensitive.
        {"D.GATEx1", "gate", "", true, "2GATEx1.D"},
        // Short names take the last seven characters and the code of the last five.
        {"D.abcdefghij", "", "", true, "Vdefghij.D"},
        {"D.", "gate", "", true, "0.D"},
        {"E.gate0001", "gate", "", false, ""},
        {"Dxgate0001", "gate", "", false, ""},
        {"d.gate0001", "gate", "", false, ""},
        {"", "gate", "", false, ""},
        {"D", "gate", "", false, ""},
    };
    for (const Case& c : cases) {
        std::string out = "junk";
        EXPECT_EQ(tarn::shortenSpoolName(c.spool, c.sys1, c.sys2, out), c.accepted) << c.spool;
        EXPECT_EQ(out, c.shortName) << c.spool;
    }
}

TEST(SpoolName, CaseCodeCoversAllThirtyTwoValues)
{
    // Each bit pattern of five letters gives its own code character.
    const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    for (int code = 0; code < 32; ++code) {
        std::string rest;
        for (int bit = 4; bit >= 0; --bit)
            rest += (code >> bit) & 1 ? 'q' : 'Q';
        std::string out;
        ASSERT_TRUE(tarn::shortenSpoolName("D." + rest, "", "", out));
        EXPECT_EQ(out[0], digits[code]) << rest;
        EXPECT_EQ(out.substr(1), rest + ".D");
    }
}

}  // namespace
