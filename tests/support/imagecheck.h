// Test support: one shipped image checked as a host's loader sees it: a
// whole PE image of the expected machine type (PE32 for i386, PE32+ for
// x86_64), exactly its export table, and only the system's own DLLs imported.
#pragma once

#include "peimage.h"
#include "shippedbinaries.h"

#include <gtest/gtest.h>

namespace testsupport {

inline void expectShippedImage(const PeImage& img, std::uint16_t machine,
                               const shipped::ExportTable& exports)
{
    ASSERT_EQ(img.error, "");
    EXPECT_EQ(img.machine, machine);
    EXPECT_EQ(img.pe32plus, machine == kMachineAmd64);
    // Nothing else is exported: no decorated duplicates, no runtime symbols.
    EXPECT_EQ(img.exportsByName, exports);
    EXPECT_FALSE(img.importedDlls.empty());
    for (const std::string& dll : img.importedDlls)
        EXPECT_TRUE(shipped::isSystemDll(dll)) << dll;
}

}  // namespace testsupport
