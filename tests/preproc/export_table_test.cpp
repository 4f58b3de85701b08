// tarn32.dll as a host sees it: names, ordinals, imports, GetProcAddress.
#include "dll.h"
#include "imagecheck.h"
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
