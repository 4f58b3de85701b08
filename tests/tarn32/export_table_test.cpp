// tarn32.dll as a host sees it: names, ordinals, imports, GetProcAddress.
#include "dll.h"
#include "imagecheck.h"
#include "stdcallprobe.h"
#include "testdir.h"

#include <gtest/gtest.h>

namespace {

TEST(Tarn32Exports, NamesOrdinalsAndImports)
{
    testsupport::expectShippedImage(
        testsupport::readPeImage(testsupport::exeFolder() + "\\tarn32.dll"),
        testsupport::kOwnMachine, shipped::kTarn32Exports);
}

TEST(Tarn32Exports, ReachableByNameAndOrdinal)
{
    testsupport::Dll dll("tarn32.dll");
    ASSERT_TRUE(dll.loaded());
    for (const auto& e : shipped::kTarn32Exports) {
        void* byName = dll.procAddress(e.first.c_str());
        EXPECT_NE(byName, nullptr) << e.first;
        EXPECT_EQ(byName, dll.procAddress(e.second)) << e.first;
    }
}

}  // namespace

namespace {

// The bytes of arguments each export takes in the 32-bit build: what a host
// pushes before the call and the export removes before it returns.
const std::pair<const char*, int> kArgumentBytes[] = {
    {"CHKDIR", 4}, {"EXPMAIL", 24}, {"EXPNEWS", 24}, {"FILEATTACH", 20}, {"GENDIR", 4},
    {"GENUUCP", 24}, {"IMPMAIL", 20}, {"IMPNEWS", 24}, {"READMESSAGE", 24}, {"WRITEMESSAGE", 24},
    {"WRITEMFORM", 24}, {"WRITEUUCP", 20}, {"TARNDIAL", 24}, {"TARNHANGUP", 0},
    {"FILERENAME", 8}, {"MIMEDECODE", 8}, {"WRITEQUOTED", 16}, {"TarnGetConnectStatus", 8},
    {"READMAPIMSG", 24}, {"READNEWS", 24}, {"MIMEENCODE", 12}, {"DECODE_ISO", 12},
    {"FIND_FILE", 12}, {"TarnGetDialParams", 12}, {"_EXTRACTMESSAGE@24", 24},
    {"_UUENCODE@20", 20},
};

// Called with every argument zero (null pointers, zero counts), which each
// export refuses, so the call has no effect but its return.
TEST(Tarn32Exports, EachRemovesExactlyItsArguments)
{
#if defined(__i386__)
    EXPECT_EQ(std::size(kArgumentBytes), shipped::kTarn32Exports.size());
    testsupport::Dll dll("tarn32.dll");
    ASSERT_TRUE(dll.loaded());
    for (const auto& [name, bytes] : kArgumentBytes) {
        void* fn = dll.procAddress(name);
        ASSERT_NE(fn, nullptr) << name;
        EXPECT_EQ(testsupport::calleeRemovedBytes(fn, bytes / 4), bytes) << name;
    }
#else
    GTEST_SKIP() << "x86_64 has one calling convention, in which the caller removes the arguments";
#endif
}

}  // namespace
