// Where fetch-pop keeps retrieved message files: which files count as
// message files, names that are never used twice, and moves that never
// replace a kept file.
#include "keptmessages.h"
#include "testdir.h"

#include <gtest/gtest.h>

namespace {

using testsupport::readFile;
using testsupport::TestDir;
using testsupport::writeFile;
using Names = std::vector<std::string>;

TEST(KeptMessages, OnlyNumberedMessageFilesCountInNumberOrder)
{
    TestDir dir;
    for (const char* name : {"10.msg", "2.MSG", "1.msg", "notes.msg", "3.msg.txt", "4.txt", "x1.msg"})
        writeFile(dir.file(name), name);
    dir.subdir("5.msg");  // a folder, not a file
    EXPECT_EQ(messageFileNumbers(dir.path()), (std::vector<int>{1, 2, 10}));
    EXPECT_TRUE(messageFileNumbers(dir.file("missing")).empty());
}

// A second session in the same second, or after the clock went back, finds
// the stamp taken and gets another one.
TEST(KeptMessages, AStampInUseIsNeverTakenAgain)
{
    TestDir dir;
    std::string received = dir.subdir("received"), incomplete = dir.subdir("incomplete");
    std::string first = sessionStamp({received, incomplete});
    ASSERT_EQ(first.size(), 15u) << first;
    writeFile(incomplete + "\\" + first + "-3.msg", "partial");
    std::string second = sessionStamp({received, incomplete});
    EXPECT_NE(second, first);
    writeFile(received + "\\" + second + "-1.msg", "whole");
    std::string third = sessionStamp({received, incomplete});
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);
}

TEST(KeptMessages, WholeAndUnfinishedFilesGoApartAndNothingIsReplaced)
{
    TestDir dir;
    std::string folder = dir.subdir("pop");
    ASSERT_TRUE(prepareKeepFolders(folder));
    for (int n : {1, 2, 3})
        writeFile(folder + "\\" + std::to_string(n) + ".msg", "message " + std::to_string(n));
    // A kept file of that name exists already (put there by hand): it stays.
    writeFile(folder + "\\received\\S-2.msg", "kept before");

    MessageKeeper keeper(folder, "S");
    keeper.keepRest([](int n) { return n < 3; });
    std::vector<KeptFile> kept = keeper.kept();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_TRUE(kept[0].moved && kept[0].complete);
    EXPECT_EQ(kept[0].path, folder + "\\received\\S-1.msg");
    EXPECT_FALSE(kept[1].moved);
    EXPECT_EQ(kept[1].path, folder + "\\2.msg");
    EXPECT_TRUE(kept[2].moved && !kept[2].complete);
    EXPECT_EQ(kept[2].path, folder + "\\incomplete\\S-3.msg");

    EXPECT_EQ(readFile(folder + "\\received\\S-1.msg"), "message 1");
    EXPECT_EQ(readFile(folder + "\\received\\S-2.msg"), "kept before");
    EXPECT_EQ(readFile(folder + "\\2.msg"), "message 2");  // left for the person to sort out
    EXPECT_EQ(readFile(folder + "\\incomplete\\S-3.msg"), "message 3");
    EXPECT_EQ(messageFileNumbers(folder), (std::vector<int>{2}));
}

// During a session: message 1 is kept as soon as it is reported whole,
// message 2 was refused by the server and has no file, message 3 is the one
// the session did not finish. A name taken meanwhile is not replaced.
TEST(KeptMessages, FilesKeptDuringTheSessionAndAfterItMakeOneList)
{
    TestDir dir;
    std::string folder = dir.subdir("pop");
    ASSERT_TRUE(prepareKeepFolders(folder));
    MessageKeeper keeper(folder, "S");
    writeFile(folder + "\\1.msg", "message 1");
    keeper.keepStored(1);
    EXPECT_TRUE(messageFileNumbers(folder).empty());
    keeper.keepStored(2);
    writeFile(folder + "\\4.msg", "message 4");
    writeFile(folder + "\\received\\S-4.msg", "kept before");
    keeper.keepStored(4);  // the name is taken: left for keepRest
    writeFile(folder + "\\3.msg", "part of message 3");
    keeper.keepRest([](int n) { return n != 3; });

    std::vector<KeptFile> kept = keeper.kept();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].number, 1);
    EXPECT_EQ(kept[0].path, folder + "\\received\\S-1.msg");
    EXPECT_TRUE(kept[0].moved && kept[0].complete);
    EXPECT_EQ(kept[1].number, 3);
    EXPECT_EQ(kept[1].path, folder + "\\incomplete\\S-3.msg");
    EXPECT_TRUE(kept[1].moved && !kept[1].complete);
    EXPECT_EQ(kept[2].number, 4);
    EXPECT_FALSE(kept[2].moved);
    EXPECT_EQ(readFile(folder + "\\received\\S-1.msg"), "message 1");
    EXPECT_EQ(readFile(folder + "\\received\\S-4.msg"), "kept before");
    EXPECT_EQ(readFile(folder + "\\4.msg"), "message 4");
}

TEST(KeptMessages, AFolderThatCannotHoldTheKeptFilesIsSaidSoBeforeAnySession)
{
    TestDir dir;
    writeFile(dir.file("pop"), "a file where the folder should be");
    EXPECT_FALSE(prepareKeepFolders(dir.file("pop")));
}

}  // namespace
