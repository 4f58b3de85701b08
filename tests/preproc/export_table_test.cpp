// tarn32.dll as a host sees it: names, ordinals, imports, GetProcAddress.
#include "dll.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

// The exports that exist so far, with their ordinals.
const std::pair<const char*, int> kExports[] = {
    {"CHKDIR", 1}, {"GENDIR", 5}, {"IMPMAIL", 7}, {"FILERENAME", 15}, {"FIND_FILE", 23},
    {"EXPMAIL", 2}, {"FILEATTACH", 4}, {"GENUUCP", 6}, {"READMESSAGE", 9}, {"WRITEMESSAGE", 10},
    {"WRITEMFORM", 11}, {"WRITEUUCP", 12}, {"READMAPIMSG", 19}, {"READNEWS", 20},
    {"_EXTRACTMESSAGE@24", 25},
    {"MIMEDECODE", 16}, {"WRITEQUOTED", 17}, {"MIMEENCODE", 21}, {"DECODE_ISO", 22},
    {"_UUENCODE@20", 26},
    {"EXPNEWS", 3}, {"IMPNEWS", 8},
};

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

TEST(Tarn32Exports, NamesAndOrdinals)
{
    testsupport::PeTables t = testsupport::readPeTables(testsupport::exeFolder() + "\\tarn32.dll");
    ASSERT_FALSE(t.exportsByName.empty());
    for (const auto& e : kExports) {
        auto it = t.exportsByName.find(e.first);
        ASSERT_NE(it, t.exportsByName.end()) << e.first;
        EXPECT_EQ(it->second, e.second) << e.first;
    }
    // Nothing else is exported: no decorated duplicates, no runtime symbols.
    EXPECT_EQ(t.exportsByName.size(), std::size(kExports));
}

TEST(Tarn32Exports, ImportsOnlySystemLibraries)
{
    testsupport::PeTables t = testsupport::readPeTables(testsupport::exeFolder() + "\\tarn32.dll");
    ASSERT_FALSE(t.importedDlls.empty());
    const char* allowed[] = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "MSVCRT.DLL"};
    for (const std::string& dll : t.importedDlls) {
        EXPECT_TRUE(std::find(std::begin(allowed), std::end(allowed), upper(dll)) != std::end(allowed))
            << dll;
        EXPECT_NE(upper(dll), "WSOCK32.DLL");
        EXPECT_NE(upper(dll), "RASAPI32.DLL");
    }
}

TEST(Tarn32Exports, ReachableByNameAndOrdinal)
{
    testsupport::Dll dll("tarn32.dll");
    ASSERT_TRUE(dll.loaded());
    for (const auto& e : kExports) {
        void* byName = dll.procAddress(e.first);
        EXPECT_NE(byName, nullptr) << e.first;
        EXPECT_EQ(byName, dll.procAddress(e.second)) << e.first;
    }
}

}  // namespace
