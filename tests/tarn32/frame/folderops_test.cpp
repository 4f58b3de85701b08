// GENDIR, CHKDIR, FILERENAME and FIND_FILE through the DLL.
#include "dll.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using FolderOp = int __stdcall(const char*);
using Rename = int __stdcall(const char*, const char*);
using Find = int __stdcall(const char*, char*, const char*);

class FolderOps : public ::testing::Test {
protected:
    testsupport::Dll dll{"tarn32.dll"};
    testsupport::TestDir dir;
    FolderOp* gendir = dll.get<FolderOp>("GENDIR");
    FolderOp* chkdir = dll.get<FolderOp>("CHKDIR");
    Rename* rename = dll.get<Rename>("FILERENAME");
    Find* find = dll.get<Find>("FIND_FILE");
};

TEST_F(FolderOps, GenDirCreatesOneFolderOnly)
{
    EXPECT_EQ(gendir(dir.file("new").c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(dir.file("new").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(gendir(dir.file("new").c_str()), -1);              // exists
    EXPECT_EQ(gendir(dir.file("missing\\child").c_str()), -1);   // no parent
    std::string tooLong = dir.path() + "\\" + std::string(200, 'l');
    EXPECT_EQ(gendir(tooLong.c_str()), -1);
}

TEST_F(FolderOps, ChkDirChangesCurrentDirectoryOnSuccessOnly)
{
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    EXPECT_EQ(chkdir(dir.file("absent").c_str()), -1);
    char now[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_STREQ(now, before);

    EXPECT_EQ(chkdir(dir.path().c_str()), 0);
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_STRCASEEQ(now, dir.path().c_str());
    // Relative names now resolve in the folder.
    testsupport::writeFile("relative.txt", "x");
    EXPECT_TRUE(testsupport::fileExists(dir.file("relative.txt")));
    SetCurrentDirectoryA(before);
}

TEST_F(FolderOps, FileRenameNeverReplaces)
{
    testsupport::writeFile(dir.file("a"), "aaa");
    testsupport::writeFile(dir.file("b"), "bbb");
    EXPECT_EQ(rename(dir.file("a").c_str(), dir.file("b").c_str()), -1);
    EXPECT_EQ(testsupport::readFile(dir.file("a")), "aaa");
    EXPECT_EQ(testsupport::readFile(dir.file("b")), "bbb");
    EXPECT_EQ(rename(dir.file("a").c_str(), dir.file("c").c_str()), 0);
    EXPECT_FALSE(testsupport::fileExists(dir.file("a")));
    EXPECT_EQ(testsupport::readFile(dir.file("c")), "aaa");
    EXPECT_EQ(rename(dir.file("missing").c_str(), dir.file("d").c_str()), -1);
    // A move into a subfolder.
    dir.subdir("sub");
    EXPECT_EQ(rename(dir.file("c").c_str(), dir.file("sub\\c").c_str()), 0);
    EXPECT_EQ(testsupport::readFile(dir.file("sub\\c")), "aaa");
}

TEST_F(FolderOps, FindFileMatchesFilesAndFolders)
{
    char found[260];
    std::strcpy(found, "untouched");
    EXPECT_EQ(find(dir.path().c_str(), found, "*.x"), -1);
    EXPECT_STREQ(found, "untouched");
    EXPECT_EQ(find(dir.file("absent").c_str(), found, "*"), -1);
    EXPECT_STREQ(found, "untouched");

    testsupport::writeFile(dir.file("4A1b2C.X"), "");
    EXPECT_NE(find(dir.path().c_str(), found, "*.x"), -1);  // platform rules: no case
    EXPECT_STREQ(found, "4A1b2C.X");
    EXPECT_NE(find(dir.path().c_str(), found, "4?1b*"), -1);
    EXPECT_STREQ(found, "4A1b2C.X");

    dir.subdir("hold");
    EXPECT_NE(find(dir.path().c_str(), found, "ho?d"), -1);
    EXPECT_STREQ(found, "hold");
    // "." and ".." are not entries of the folder.
    std::strcpy(found, "untouched");
    EXPECT_EQ(find(dir.file("hold").c_str(), found, "*"), -1);
    EXPECT_STREQ(found, "untouched");

    std::string longPattern(260, 'p');
    EXPECT_EQ(find(dir.path().c_str(), found, longPattern.c_str()), -1);
}

}  // namespace
