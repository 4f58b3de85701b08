// Disk faults at every export of tarn32 that writes: the file it writes is
// locked (open without sharing by another handle), or the disk is full (a
// small tmpfs mounted at C:\tt_full by the test fixture; the cases skip when
// it is missing). Each call must give its failure result, leave what was
// there before as it was (nothing half-written) and lose no input.
#include "dll.h"
#include "stdoutcapture.h"
#include "testdir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using testsupport::fileExists;
using testsupport::listFolder;
using testsupport::readFile;
using testsupport::writeFile;

// Holds a file open for read and write with no sharing while it lives.
class Lock {
public:
    explicit Lock(const std::string& path)
        : h_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Lock()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    bool held() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

struct Exports {
    testsupport::Dll dll{"tarn32.dll"};
    using WriteFn = int __stdcall(const char*, int, int*, int*, const char*, char*);
    WriteFn* writeMessage = dll.get<WriteFn>("WRITEMESSAGE");
    WriteFn* writeMform = dll.get<WriteFn>("WRITEMFORM");
    int(__stdcall* writeUucp)(const char*, int*, int*, const char*, char*) =
        dll.get<int __stdcall(const char*, int*, int*, const char*, char*)>("WRITEUUCP");
    int(__stdcall* fileAttach)(const char*, const char*, const char*, char*, int) =
        dll.get<int __stdcall(const char*, const char*, const char*, char*, int)>("FILEATTACH");
    int(__stdcall* genUucp)(const char*, const char*, const char*, const char*, char*, int) =
        dll.get<int __stdcall(const char*, const char*, const char*, const char*, char*, int)>("GENUUCP");
    int(__stdcall* writeQuoted)(const char*, const char*, char*, int) =
        dll.get<int __stdcall(const char*, const char*, char*, int)>("WRITEQUOTED");
    int(__stdcall* mimeEncode)(const char*, const char*, const char*) =
        dll.get<int __stdcall(const char*, const char*, const char*)>("MIMEENCODE");
    int(__stdcall* mimeDecode)(const char*, const char*) =
        dll.get<int __stdcall(const char*, const char*)>("MIMEDECODE");
    int(__stdcall* decodeIso)(const char*, const char*, char*) =
        dll.get<int __stdcall(const char*, const char*, char*)>("DECODE_ISO");
    int(__stdcall* impMail)(char*, char*, const char*, const char*, int) =
        dll.get<int __stdcall(char*, char*, const char*, const char*, int)>("IMPMAIL");
};

const std::string kAttachment =
    "From: a@b\r\nSubject: x\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: application/octet-stream; name=\"d.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nSGVsbG8sIHdvcmxkIQ==\r\n--b--\r\n";

// A message with `bytes` as its base64 attachment.
std::string attachmentOf(const std::string& bytes)
{
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string b64;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                     (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        b64 += a[v >> 18];
        b64 += a[(v >> 12) & 63];
        b64 += a[(v >> 6) & 63];
        b64 += a[v & 63];
        if (b64.size() % 77 == 76)
            b64 += "\r\n";
    }
    return kAttachment.substr(0, kAttachment.find("SGVs")) + b64 + "\r\n--b--\r\n";
}

// One export writing one file: set up in `folder`, the file it writes, the
// call, and the result that says it failed.
struct Writer {
    const char* name;
    std::function<void(const std::string& folder)> setUp;
    std::string target;  // name of the file written, in the folder
    std::function<int(Exports&, const std::string& folder, char* error)> call;
    int failure;
    // The export makes its file anew: on a full disk the cut-off file is
    // removed (what was there before is gone once the file is opened).
    bool replaces = false;
    // The file written is the export's input (set up by setUp).
    bool targetIsInput = false;
};

std::vector<Writer> writers(const std::string& big)
{
    auto path = [](const std::string& f, const char* n) { return f + "\\" + n; };
    return {
        {"WRITEMESSAGE", [](const std::string&) {}, "mailarea.txt",
         [big](Exports& e, const std::string& f, char* err) {
             int s = 0, l = 0;
             return e.writeMessage(f.c_str(), 0, &s, &l, big.c_str(), err);
         }, -1},
        {"WRITEMFORM", [](const std::string&) {}, "area3.txt",
         [big](Exports& e, const std::string& f, char* err) {
             int s = 0, l = 0;
             return e.writeMform(f.c_str(), 3, &s, &l, big.c_str(), err);
         }, -1},
        {"WRITEUUCP", [](const std::string&) {}, "rmail.z",
         [big, path](Exports& e, const std::string& f, char* err) {
             int s = 0, l = 0;
             return e.writeUucp(path(f, "rmail.z").c_str(), &s, &l, big.c_str(), err);
         }, -1},
        {"FILEATTACH", [big, path](const std::string& f) { writeFile(path(f, "src.bin"), big); }, "att.bin",
         [path](Exports& e, const std::string& f, char* err) {
             return e.fileAttach(f.c_str(), path(f, "src.bin").c_str(), "att.bin", err, 0);
         }, -1},
        {"GENUUCP", [big, path](const std::string& f) { writeFile(path(f, "src.bin"), big); }, "rmail.z",
         [path](Exports& e, const std::string& f, char* err) {
             return e.genUucp(f.c_str(), path(f, "src.bin").c_str(), "rmail.z", "LEAD\n", err, 0);
         }, -1},
        {"WRITEQUOTED", [big, path](const std::string& f) { writeFile(path(f, "q.txt"), big); }, "q.txt",
         [path](Exports& e, const std::string& f, char* err) {
             return e.writeQuoted(path(f, "q.txt").c_str(), nullptr, err, 0);
         }, -1, false, true},
        {"MIMEENCODE", [big, path](const std::string& f) { writeFile(path(f, "src.bin"), big); }, "part.txt",
         [path](Exports& e, const std::string& f, char*) {
             return e.mimeEncode(path(f, "src.bin").c_str(), path(f, "part.txt").c_str(), "src.bin");
         }, -1, true},
        {"DECODE_ISO", [big, path](const std::string& f) { writeFile(path(f, "iso.txt"), big); }, "850.txt",
         [path](Exports& e, const std::string& f, char* err) {
             return e.decodeIso(path(f, "iso.txt").c_str(), path(f, "850.txt").c_str(), err);
         }, -2, true},
        {"MIMEDECODE", [big, path](const std::string& f) { writeFile(path(f, "m.msg"), attachmentOf(big)); },
         "out.bin",
         [path](Exports& e, const std::string& f, char*) {
             return e.mimeDecode(path(f, "m.msg").c_str(), path(f, "out.bin").c_str());
         }, -1, true},
    };
}

// What a locked or full target must still hold afterwards: what it held.
const std::string kBefore = "held before\n";

TEST(DiskFaults, LockedTargetOfEveryWriter)
{
    Exports e;
    const std::string big(20000, 'x');
    for (const Writer& w : writers(big)) {
        SCOPED_TRACE(w.name);
        testsupport::TestDir dir;
        w.setUp(dir.path());
        std::string target = dir.file(w.target);
        if (!w.targetIsInput)
            writeFile(target, kBefore);
        const std::string before = readFile(target);
        std::vector<std::string> sources;
        for (const std::string& n : listFolder(dir.path()))
            sources.push_back(readFile(dir.file(n)));
        char error[256] = "untouched";
        {
            Lock lock(target);
            ASSERT_TRUE(lock.held());
            EXPECT_EQ(w.call(e, dir.path(), error), w.failure);
        }
        EXPECT_TRUE(readFile(target) == before);
        // Every input is as it was, and no scratch file is left behind.
        std::vector<std::string> after;
        for (const std::string& n : listFolder(dir.path()))
            after.push_back(readFile(dir.file(n)));
        EXPECT_EQ(after, sources);
    }
}

TEST(DiskFaults, LockedMimeDecodeOutputAndLockedImportArea)
{
    Exports e;
    testsupport::TestDir dir;
    std::string msg = dir.file("m.msg"), out = dir.file("out.bin");
    writeFile(msg, kAttachment);
    writeFile(out, kBefore);
    {
        Lock lock(out);
        EXPECT_EQ(e.mimeDecode(msg.c_str(), out.c_str()), -1);
    }
    EXPECT_EQ(readFile(out), kBefore);

    // IMPMAIL with its mail area locked: no import, the job stays queued.
    std::string in = dir.subdir("in"), work = dir.subdir("work");
    writeFile(in + "\\0N0001.D", "From: a@b\nTo: c@d\nSubject: s\n\nbody\n");
    writeFile(in + "\\0N0002.X", "U uucp gate\nF D.gateN0001\nC rmail c@d\n");
    writeFile(work + "\\mailarea.txt", kBefore);
    std::vector<char> inB(in.begin(), in.end()), workB(work.begin(), work.end());
    inB.resize(inB.size() + 2, '\0');
    workB.resize(workB.size() + 2, '\0');
    {
        Lock lock(work + "\\mailarea.txt");
        EXPECT_EQ(e.impMail(inB.data(), workB.data(), "gate", "office", 1), -1);
    }
    EXPECT_EQ(readFile(work + "\\mailarea.txt"), kBefore);
    EXPECT_TRUE(fileExists(in + "\\0N0001.D"));
    EXPECT_TRUE(fileExists(in + "\\0N0002.X"));
}

// Fills the disk of `filler` (a new file) but for 8 KB.
bool fillAllBut8K(const std::string& filler)
{
    HANDLE h = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(4096, 'f');
    DWORD n = 0;
    while (WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &n, nullptr) && n == block.size()) {
    }
    SetFilePointer(h, -8192, nullptr, FILE_END);
    SetEndOfFile(h);
    CloseHandle(h);
    return true;
}

// The full disk: C:\tt_full, a tmpfs of a few hundred KB. Filled to within
// a few KB, then each writer is asked to write more than fits.
TEST(DiskFaults, FullDiskLeavesEveryTargetAsItWas)
{
    const std::string full = "C:\\tt_full";
    if (GetFileAttributesA((full + "\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small file system at " << full;
    Exports e;
    const std::string big(200000, 'y');
    for (const Writer& w : writers(big)) {
        SCOPED_TRACE(w.name);
        std::string folder = full + "\\" + w.name;
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string target = folder + "\\" + w.target;
        // The inputs first, then the filler takes all but a little.
        w.setUp(folder);
        if (!w.targetIsInput)
            writeFile(target, kBefore);
        const std::string before = readFile(target);
        std::string filler = full + "\\filler";
        ASSERT_TRUE(fillAllBut8K(filler));
        std::vector<std::string> names = listFolder(folder);
        char error[256] = "untouched";
        EXPECT_EQ(w.call(e, folder, error), w.failure);
        std::string after = readFile(target);
        if (w.replaces) {
            EXPECT_FALSE(testsupport::fileExists(target)) << after.size() << " bytes left in " << w.target;
            names.erase(std::remove(names.begin(), names.end(), w.target), names.end());
        } else {
            EXPECT_TRUE(after == before) << after.size() << " bytes in " << w.target << " afterwards";
        }
        EXPECT_EQ(listFolder(folder), names);  // no scratch file left
        DeleteFileA(filler.c_str());
        for (const std::string& n : listFolder(folder))
            DeleteFileA((folder + "\\" + n).c_str());
        RemoveDirectoryA(folder.c_str());
    }
}

// A read-only work folder: C:\tt_full_ro, a read-only view of C:\tt_full_rw
// (the fixture's bind mount). Inputs are set up through the writable side;
// every writer, and IMPMAIL, is then called on the read-only side.
TEST(DiskFaults, ReadOnlyFolderRefusesEveryWriter)
{
    const std::string rw = "C:\\tt_full_rw", ro = "C:\\tt_full_ro";
    if (GetFileAttributesA((ro + "\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no read-only folder at " << ro;
    Exports e;
    const std::string big(20000, 'z');
    for (const Writer& w : writers(big)) {
        SCOPED_TRACE(w.name);
        std::string folder = rw + "\\" + w.name, view = ro + "\\" + w.name;
        CreateDirectoryA(folder.c_str(), nullptr);
        w.setUp(folder);
        if (!w.targetIsInput)
            writeFile(folder + "\\" + w.target, kBefore);
        std::vector<std::string> names = listFolder(folder);
        std::vector<std::string> contents;
        for (const std::string& n : names)
            contents.push_back(readFile(folder + "\\" + n));
        char error[256] = "untouched";
        EXPECT_EQ(w.call(e, view, error), w.failure);
        EXPECT_EQ(listFolder(folder), names);
        std::vector<std::string> after;
        for (const std::string& n : listFolder(folder))
            after.push_back(readFile(folder + "\\" + n));
        EXPECT_TRUE(after == contents);
        for (const std::string& n : listFolder(folder))
            DeleteFileA((folder + "\\" + n).c_str());
        RemoveDirectoryA(folder.c_str());
    }
    // IMPMAIL into a read-only work folder: nothing imported, the job stays.
    std::string in = rw + "\\in", work = rw + "\\work";
    CreateDirectoryA(in.c_str(), nullptr);
    CreateDirectoryA(work.c_str(), nullptr);
    writeFile(in + "\\0N0001.D", "From: a@b\nTo: c@d\nSubject: s\n\nbody\n");
    writeFile(in + "\\0N0002.X", "U uucp gate\nF D.gateN0001\nC rmail c@d\n");
    std::string inView = in, workView = ro + "\\work";
    std::vector<char> inB(inView.begin(), inView.end()), workB(workView.begin(), workView.end());
    inB.resize(inB.size() + 2, '\0');
    workB.resize(workB.size() + 2, '\0');
    EXPECT_EQ(e.impMail(inB.data(), workB.data(), "gate", "office", 1), -1);
    EXPECT_TRUE(listFolder(work).empty());
    EXPECT_TRUE(fileExists(in + "\\0N0001.D"));
    EXPECT_TRUE(fileExists(in + "\\0N0002.X"));
    for (const std::string& f : {in + "\\0N0001.D", in + "\\0N0002.X"})
        DeleteFileA(f.c_str());
    RemoveDirectoryA(in.c_str());
    RemoveDirectoryA(work.c_str());
}

}  // namespace

namespace {

// The UU codec prints its diagnostics instead of returning a failure: a
// full disk must show as "write error on output file", also when the last
// bytes only fail as the file is closed (19 KB of output: less than the
// stream's buffer, more than the 8 KB left).
TEST(DiskFaults, FullDiskGivesUuWriteErrors)
{
    const std::string full = "C:\\tt_full";
    if (GetFileAttributesA((full + "\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no small file system at " << full;
    using UuFn = int __stdcall(const char*, const char*, const char*, const char*, int);
    testsupport::Dll dll{"tarn32.dll"};
    UuFn* uu = dll.get<UuFn>("_UUENCODE@20");
    ASSERT_NE(uu, nullptr);
    testsupport::TestDir dir;
    auto run = [&](const std::string& in, const std::string& out) {
        return testsupport::capturingStdout(dir.file("stdout.txt"), [&] {
            EXPECT_EQ(uu(in.c_str(), out.c_str(), "", dir.path().c_str(), 0), 0);
        });
    };
    std::string bytes;
    for (int i = 0; bytes.size() < 19000; ++i)
        bytes += static_cast<char>((i * 7919) >> 3);
    writeFile(dir.file("s.zip"), bytes);
    std::string said = run(dir.file("s.zip"), "");
    ASSERT_EQ(said.find("error"), std::string::npos) << said;
    ASSERT_GT(readFile(dir.file("s.enc")).size(), 25000u);

    std::string folder = full + "\\uu";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string filler = full + "\\filler";
    ASSERT_TRUE(fillAllBut8K(filler));
    said = run(dir.file("s.enc"), folder + "\\back.bin");
    EXPECT_NE(said.find("error: write error on output file."), std::string::npos) << said;
    said = run(dir.file("s.zip"), folder + "\\t.enc");
    EXPECT_NE(said.find("error: write error on output file."), std::string::npos) << said;
    DeleteFileA(filler.c_str());
    for (const std::string& n : listFolder(folder))
        DeleteFileA((folder + "\\" + n).c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
