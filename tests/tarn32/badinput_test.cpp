// Bad input at every export of tarn32, called as a host calls them: null
// pointers, empty strings, strings past every width, negative counts and
// offsets, and binary garbage in the files the exports read. Each call must
// give its failure result (or, where the input is merely odd, a result the
// export documents), write nothing past the buffers it was given, and leave
// the files it was given as they were.
#include "dll.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using ReadFn = int __stdcall(const char*, int, int, int, char*, char*);
using WriteFn = int __stdcall(const char*, int, int*, int*, const char*, char*);

constexpr char kGuard = '\x5a';

// A caller's buffer of `size` bytes followed by guard bytes no export may
// touch.
struct Guarded {
    explicit Guarded(std::size_t size, char fill = kGuard) : size_(size), bytes(size + 64, kGuard)
    {
        std::fill(bytes.begin(), bytes.begin() + size, fill);
    }
    char* data() { return bytes.data(); }
    bool guardIntact() const
    {
        for (std::size_t i = size_; i < bytes.size(); ++i) {
            if (bytes[i] != kGuard)
                return false;
        }
        return true;
    }
    // True when the caller's part holds a NUL (a text was ended properly).
    bool terminated() const { return std::memchr(bytes.data(), 0, size_) != nullptr; }
    std::size_t size_;
    std::vector<char> bytes;
};

std::string garbage(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

const std::string kLong(5000, 'a');      // past every path and name width
const std::string kLongPath = "C:\\" + std::string(300, 'p');

class BadInput : public ::testing::Test {
public:
    testsupport::Dll dll{"tarn32.dll"};
    testsupport::TestDir dir;
    template <typename F>
    F* fn(const char* name)
    {
        F* f = dll.get<F>(name);
        EXPECT_NE(f, nullptr) << name;
        return f;
    }
};

struct Case {
    const char* name;
    std::function<int()> call;
    int expected;
};

void runCases(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(), c.expected);
    }
}

TEST_F(BadInput, FolderAndFileOperations)
{
    auto chkdir = fn<int __stdcall(const char*)>("CHKDIR");
    auto gendir = fn<int __stdcall(const char*)>("GENDIR");
    auto rename = fn<int __stdcall(const char*, const char*)>("FILERENAME");
    auto find = fn<int __stdcall(const char*, char*, const char*)>("FIND_FILE");
    std::string file = dir.file("keep.txt");
    testsupport::writeFile(file, "kept");
    Guarded found(260, 'q');
    runCases({
        {"CHKDIR null", [&] { return chkdir(nullptr); }, -1},
        {"CHKDIR long", [&] { return chkdir(kLong.c_str()); }, -1},
        {"CHKDIR garbage", [&] { return chkdir(garbage(40, 1).c_str()); }, -1},
        {"GENDIR null", [&] { return gendir(nullptr); }, -1},
        {"GENDIR empty", [&] { return gendir(""); }, -1},
        {"GENDIR long", [&] { return gendir((dir.path() + "\\" + kLong).c_str()); }, -1},
        {"FILERENAME null old", [&] { return rename(nullptr, file.c_str()); }, -1},
        {"FILERENAME null new", [&] { return rename(file.c_str(), nullptr); }, -1},
        {"FILERENAME empty new", [&] { return rename(file.c_str(), ""); }, -1},
        {"FILERENAME long new", [&] { return rename(file.c_str(), (dir.path() + "\\" + kLong).c_str()); }, -1},
        {"FIND_FILE null folder", [&] { return find(nullptr, found.data(), "*"); }, -1},
        {"FIND_FILE null name", [&] { return find(dir.path().c_str(), nullptr, "*"); }, -1},
        {"FIND_FILE null pattern", [&] { return find(dir.path().c_str(), found.data(), nullptr); }, -1},
        {"FIND_FILE long folder", [&] { return find(kLongPath.c_str(), found.data(), "*"); }, -1},
        {"FIND_FILE long pattern", [&] { return find(dir.path().c_str(), found.data(), kLong.c_str()); }, -1},
    });
    EXPECT_EQ(found.bytes[0], 'q');  // untouched by every failure
    EXPECT_TRUE(found.guardIntact());
    EXPECT_EQ(testsupport::readFile(file), "kept");
}

TEST_F(BadInput, StoreReadsRefuseAndStayInTheirBuffers)
{
    std::string store = dir.subdir("store");
    testsupport::writeFile(store + "\\mailarea.txt", garbage(70000, 2));
    testsupport::writeFile(store + "\\rmail.z", garbage(70000, 7));
    testsupport::writeFile(store + "\\area7.txt", garbage(70000, 3));
    struct Read {
        const char* name;
        int area;
        std::size_t textSize;
    };
    const Read reads[] = {{"READMESSAGE", 0, 32302}, {"READNEWS", 7, 32002},
                          {"READMAPIMSG", 0, 32302}, {"_EXTRACTMESSAGE@24", 0, 32302}};
    for (const Read& r : reads) {
        SCOPED_TRACE(r.name);
        ReadFn* read = fn<ReadFn>(r.name);
        struct Call {
            const char* what;
            const char* folder;
            int area, offset, count;
            bool text, error;
            bool fails;
        };
        const std::string s = store;
        const Call calls[] = {
            {"null folder", nullptr, r.area, 0, 10, true, true, true},
            {"null text", s.c_str(), r.area, 0, 10, false, true, true},
            {"null error", s.c_str(), r.area, 0, 10, true, false, true},
            {"long folder", kLongPath.c_str(), r.area, 0, 10, true, true, true},
            {"missing area", s.c_str(), 99, 0, 10, true, true, true},
            {"negative offset", s.c_str(), r.area, -1, 10, true, true, true},
            {"offset past the end", s.c_str(), r.area, 200000, 10, true, true, true},
            {"huge negative offset", s.c_str(), r.area, INT32_MIN, 10, true, true, true},
            {"negative count", s.c_str(), r.area, 0, -5, true, true, true},
            {"count past the end", s.c_str(), r.area, 69990, 100, true, true, true},
            {"garbage, whole chunk", s.c_str(), r.area, 0, 70000, true, true, false},
            {"garbage, huge count", s.c_str(), r.area, 5, INT32_MAX, true, true, false},
        };
        for (const Call& c : calls) {
            SCOPED_TRACE(c.what);
            Guarded text(r.textSize), error(256);
            int got = read(c.folder, c.area, c.offset, c.count, c.text ? text.data() : nullptr,
                           c.error ? error.data() : nullptr);
            EXPECT_TRUE(text.guardIntact());
            EXPECT_TRUE(error.guardIntact());
            if (c.fails) {
                EXPECT_EQ(got, -1);
                if (c.folder && c.text && c.error) {
                    EXPECT_TRUE(error.terminated() && error.bytes[0] != 0);
                }
            } else {
                EXPECT_NE(got, -1);
                EXPECT_TRUE(text.terminated());
            }
        }
    }
}

TEST_F(BadInput, StoreWritesRefuseWithoutTouchingTheArea)
{
    std::string store = dir.subdir("store");
    std::string before = garbage(1000, 4);
    testsupport::writeFile(store + "\\mailarea.txt", before);
    for (const char* name : {"WRITEMESSAGE", "WRITEMFORM"}) {
        SCOPED_TRACE(name);
        WriteFn* write = fn<WriteFn>(name);
        int start = 77, length = 88;
        Guarded error(256);
        runCases({
            {"null folder", [&] { return write(nullptr, 0, &start, &length, "x", error.data()); }, -1},
            {"null start", [&] { return write(store.c_str(), 0, nullptr, &length, "x", error.data()); }, -1},
            {"null length", [&] { return write(store.c_str(), 0, &start, nullptr, "x", error.data()); }, -1},
            {"null text", [&] { return write(store.c_str(), 0, &start, &length, nullptr, error.data()); }, -1},
            {"null error", [&] { return write(store.c_str(), 0, &start, &length, "x", nullptr); }, -1},
            {"long folder", [&] { return write(kLongPath.c_str(), 0, &start, &length, "x", error.data()); }, -1},
            {"missing folder", [&] { return write((store + "\\none").c_str(), 0, &start, &length, "x", error.data()); }, -1},
        });
        EXPECT_EQ(start, 77);
        EXPECT_EQ(length, 88);
        EXPECT_TRUE(error.guardIntact());
        EXPECT_TRUE(error.terminated());
    }
    EXPECT_EQ(testsupport::readFile(store + "\\mailarea.txt"), before);
}

TEST_F(BadInput, AttachAndUucpExports)
{
    auto attach = fn<int __stdcall(const char*, const char*, const char*, char*, int)>("FILEATTACH");
    auto expmail = fn<int __stdcall(const char*, const char*, const char*, const char*, const char*, int)>("EXPMAIL");
    auto genuucp = fn<int __stdcall(const char*, const char*, const char*, const char*, char*, int)>("GENUUCP");
    auto writeuucp = fn<int __stdcall(const char*, int*, int*, const char*, char*)>("WRITEUUCP");
    std::string out = dir.subdir("out"), work = dir.subdir("work");
    std::string src = dir.file("src.bin");
    testsupport::writeFile(src, garbage(3000, 5));
    Guarded error(256);
    int start = 1, length = 2;
    const char* o = out.c_str();
    const char* w = work.c_str();
    runCases({
        {"FILEATTACH null folder", [&] { return attach(nullptr, src.c_str(), "a.bin", error.data(), 0); }, -1},
        {"FILEATTACH null source", [&] { return attach(o, nullptr, "a.bin", error.data(), 0); }, -1},
        {"FILEATTACH null target", [&] { return attach(o, src.c_str(), nullptr, error.data(), 0); }, -1},
        {"FILEATTACH null error", [&] { return attach(o, src.c_str(), "a.bin", nullptr, 0); }, -1},
        {"FILEATTACH missing source", [&] { return attach(o, (src + "x").c_str(), "a.bin", error.data(), 0); }, -1},
        {"FILEATTACH long target", [&] { return attach(o, src.c_str(), kLong.c_str(), error.data(), 0); }, -1},
        {"FILEATTACH long folder", [&] { return attach(kLongPath.c_str(), src.c_str(), "a.bin", error.data(), 0); }, -1},
        {"EXPMAIL null outbound", [&] { return expmail(nullptr, w, "a@b", "sys", "me", 0); }, -1},
        {"EXPMAIL null work", [&] { return expmail(o, nullptr, "a@b", "sys", "me", 0); }, -1},
        {"EXPMAIL null recipients", [&] { return expmail(o, w, nullptr, "sys", "me", 0); }, -1},
        {"EXPMAIL null system", [&] { return expmail(o, w, "a@b", nullptr, "me", 0); }, -1},
        {"EXPMAIL null sender", [&] { return expmail(o, w, "a@b", "sys", nullptr, 0); }, -1},
        {"EXPMAIL no message in work", [&] { return expmail(o, w, "a@b", "sys", "me", 9); }, -1},
        {"EXPMAIL long folders", [&] { return expmail(kLongPath.c_str(), kLongPath.c_str(), "a@b", "sys", "me", 0); }, -1},
        {"GENUUCP null folder", [&] { return genuucp(nullptr, src.c_str(), "t", "lead", error.data(), 0); }, -1},
        {"GENUUCP null source", [&] { return genuucp(o, nullptr, "t", "lead", error.data(), 0); }, -1},
        {"GENUUCP null target", [&] { return genuucp(o, src.c_str(), nullptr, "lead", error.data(), 0); }, -1},
        {"GENUUCP null lead", [&] { return genuucp(o, src.c_str(), "t", nullptr, error.data(), 0); }, -1},
        {"GENUUCP null error", [&] { return genuucp(o, src.c_str(), "t", "lead", nullptr, 0); }, -1},
        {"GENUUCP missing source", [&] { return genuucp(o, (src + "x").c_str(), "t", "lead", error.data(), 0); }, -1},
        {"GENUUCP long folder", [&] { return genuucp(kLongPath.c_str(), src.c_str(), "t", "lead", error.data(), 0); }, -1},
        {"WRITEUUCP null path", [&] { return writeuucp(nullptr, &start, &length, "x", error.data()); }, -1},
        {"WRITEUUCP null start", [&] { return writeuucp(src.c_str(), nullptr, &length, "x", error.data()); }, -1},
        {"WRITEUUCP null length", [&] { return writeuucp(src.c_str(), &start, nullptr, "x", error.data()); }, -1},
        {"WRITEUUCP null text", [&] { return writeuucp(src.c_str(), &start, &length, nullptr, error.data()); }, -1},
        {"WRITEUUCP null error", [&] { return writeuucp(src.c_str(), &start, &length, "x", nullptr); }, -1},
        {"WRITEUUCP missing folder", [&] { return writeuucp((out + "\\no\\x.txt").c_str(), &start, &length, "x", error.data()); }, -1},
    });
    EXPECT_TRUE(error.guardIntact());
    EXPECT_EQ(start, 1);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(testsupport::readFile(src), garbage(3000, 5));
    EXPECT_TRUE(testsupport::listFolder(out).empty());
}

TEST_F(BadInput, CodecsOnMissingLongAndGarbageFiles)
{
    auto decode = fn<int __stdcall(const char*, const char*)>("MIMEDECODE");
    auto quoted = fn<int __stdcall(const char*, const char*, char*, int)>("WRITEQUOTED");
    auto encode = fn<int __stdcall(const char*, const char*, const char*)>("MIMEENCODE");
    auto iso = fn<int __stdcall(const char*, const char*, char*)>("DECODE_ISO");
    auto uu = fn<int __stdcall(const char*, const char*, const char*, const char*, int)>("_UUENCODE@20");
    std::string junk = dir.file("junk.msg");
    testsupport::writeFile(junk, garbage(20000, 6));
    std::string missing = dir.file("none.msg");
    std::string outFile = dir.file("o.bin");
    std::string longOut = dir.path() + "\\" + std::string(100, 'o');
    Guarded error(256), status(256);
    runCases({
        {"MIMEDECODE null in", [&] { return decode(nullptr, outFile.c_str()); }, -1},
        {"MIMEDECODE null out", [&] { return decode(junk.c_str(), nullptr); }, -1},
        {"MIMEDECODE missing", [&] { return decode(missing.c_str(), outFile.c_str()); }, -1},
        {"MIMEDECODE out past 79", [&] { return decode(junk.c_str(), longOut.c_str()); }, -1},
        {"MIMEDECODE garbage", [&] { return decode(junk.c_str(), outFile.c_str()); }, 0},
        {"WRITEQUOTED null", [&] { return quoted(nullptr, nullptr, error.data(), 0); }, -1},
        {"WRITEQUOTED missing", [&] { return quoted(missing.c_str(), nullptr, error.data(), 0); }, -1},
        {"WRITEQUOTED long", [&] { return quoted(kLong.c_str(), nullptr, error.data(), 0); }, -1},
        {"MIMEENCODE null in", [&] { return encode(nullptr, outFile.c_str(), "a"); }, -1},
        {"MIMEENCODE null out", [&] { return encode(junk.c_str(), nullptr, "a"); }, -1},
        {"MIMEENCODE missing", [&] { return encode(missing.c_str(), outFile.c_str(), "a"); }, -1},
        {"DECODE_ISO null in", [&] { return iso(nullptr, outFile.c_str(), status.data()); }, -2},
        {"DECODE_ISO null out", [&] { return iso(junk.c_str(), nullptr, status.data()); }, -2},
        {"DECODE_ISO missing", [&] { return iso(missing.c_str(), outFile.c_str(), status.data()); }, -2},
        {"DECODE_ISO long", [&] { return iso(kLong.c_str(), outFile.c_str(), status.data()); }, -2},
        {"UUENCODE null", [&] { return uu(nullptr, nullptr, nullptr, nullptr, 0); }, 0},
        {"UUENCODE long in", [&] { return uu(kLong.c_str(), nullptr, nullptr, dir.path().c_str(), 0); }, 0},
        {"UUENCODE long begin", [&] { return uu(junk.c_str(), nullptr, kLong.c_str(), dir.path().c_str(), 0); }, 0},
        {"UUENCODE long count folder", [&] { return uu(junk.c_str(), nullptr, nullptr, kLong.c_str(), 0); }, 0},
        {"UUENCODE negative size", [&] { return uu(junk.c_str(), nullptr, nullptr, dir.path().c_str(), -7); }, 0},
    });
    EXPECT_TRUE(error.guardIntact());
    EXPECT_TRUE(status.guardIntact());
    EXPECT_TRUE(error.terminated());
    EXPECT_TRUE(status.terminated());
    EXPECT_EQ(testsupport::readFile(junk), garbage(20000, 6));
}

TEST_F(BadInput, MailImportOnNullLongAndGarbageJobs)
{
    auto impmail = fn<int __stdcall(char*, char*, const char*, const char*, int)>("IMPMAIL");
    std::string in = dir.subdir("in"), work = dir.subdir("work");
    // Host buffers are larger than their text: the export adds a backslash.
    auto buffer = [](const std::string& s) {
        std::vector<char> b(s.begin(), s.end());
        b.resize(s.size() + 300, '\0');
        return b;
    };
    std::vector<char> inB = buffer(in), workB = buffer(work), longB = buffer(std::string(2000, 'L'));
    runCases({
        {"null inbound", [&] { return impmail(nullptr, workB.data(), "a", "b", 0); }, -1},
        {"null work", [&] { return impmail(inB.data(), nullptr, "a", "b", 0); }, -1},
        {"null system 1", [&] { return impmail(inB.data(), workB.data(), nullptr, "b", 0); }, -1},
        {"null system 2", [&] { return impmail(inB.data(), workB.data(), "a", nullptr, 0); }, -1},
        {"long inbound", [&] { return impmail(longB.data(), workB.data(), "a", "b", 0); }, -1},
        {"nothing to import", [&] { return impmail(inB.data(), workB.data(), "a", "b", 0); }, -1},
    });
    // Garbage job and data files: never a crash; whatever is not imported
    // stays where it was.
    for (unsigned seed = 10; seed < 20; ++seed) {
        SCOPED_TRACE(seed);
        std::string x = garbage(300 + seed * 37, seed), d = garbage(2000, seed + 100);
        testsupport::writeFile(in + "\\0Q0001.X", x);
        testsupport::writeFile(in + "\\0Q0001.D", d);
        std::vector<char> inC = buffer(in), workC = buffer(work);
        int got = impmail(inC.data(), workC.data(), "sys", "sys", 9);
        EXPECT_TRUE(got == 0 || got == -1);
        if (got == -1 && testsupport::fileExists(in + "\\0Q0001.X")) {
            EXPECT_EQ(testsupport::readFile(in + "\\0Q0001.D"), d);
        }
        for (const std::string& name : testsupport::listFolder(in))
            std::remove((in + "\\" + name).c_str());
    }
}

TEST_F(BadInput, NewsImportAndExportOnNullLongAndGarbage)
{
    auto impnews = fn<int __stdcall(char*, char*, const char*, const char*, int, int)>("IMPNEWS");
    auto expnews = fn<int __stdcall(char*, char*, const char*, int, int, int)>("EXPNEWS");
    std::string in = dir.subdir("in"), work = dir.subdir("work"), out = dir.subdir("out");
    auto buffer = [](const std::string& s) {
        std::vector<char> b(s.begin(), s.end());
        b.resize(s.size() + 300, '\0');
        return b;
    };
    std::vector<char> inB = buffer(in), workB = buffer(work), outB = buffer(out);
    runCases({
        {"IMPNEWS null inbound", [&] { return impnews(nullptr, workB.data(), "a", "b", 0, 0); }, -1},
        {"IMPNEWS null work", [&] { return impnews(inB.data(), nullptr, "a", "b", 0, 0); }, -1},
        {"IMPNEWS null system 1", [&] { return impnews(inB.data(), workB.data(), nullptr, "b", 0, 0); }, -1},
        {"IMPNEWS null system 2", [&] { return impnews(inB.data(), workB.data(), "a", nullptr, 0, 0); }, -1},
        {"EXPNEWS null outbound", [&] { return expnews(nullptr, workB.data(), "sys", 1, 0, 0); }, -1},
        {"EXPNEWS null work", [&] { return expnews(outB.data(), nullptr, "sys", 1, 0, 0); }, -1},
        {"EXPNEWS null system", [&] { return expnews(outB.data(), workB.data(), nullptr, 1, 0, 0); }, -1},
        {"EXPNEWS nothing to export", [&] { return expnews(outB.data(), workB.data(), "sys", 1, 0, 0); }, -1},
    });
    // Long folders, negative counts, odd code widths: never a crash, never
    // success.
    {
        std::vector<char> l1 = buffer(std::string(2000, 'L')), l2 = buffer(std::string(2000, 'M'));
        EXPECT_NE(impnews(l1.data(), l2.data(), "a", "b", 9, 0), 0);
    }
    {
        std::vector<char> l1 = buffer(std::string(2000, 'L')), w = buffer(work);
        EXPECT_EQ(expnews(l1.data(), w.data(), "sys", -5, 9, 0), -1);
    }
    // Garbage batches and job files: never a crash; a batch not imported
    // stays where it was.
    for (unsigned seed = 30; seed < 40; ++seed) {
        SCOPED_TRACE(seed);
        std::string x = garbage(300 + seed * 17, seed), d = garbage(3000, seed + 200);
        if (seed % 2)
            d = "#! rnews 40\n" + d;
        testsupport::writeFile(in + "\\0N0001.X", x);
        testsupport::writeFile(in + "\\0N0001.D", d);
        std::vector<char> inC = buffer(in), workC = buffer(work);
        int got = impnews(inC.data(), workC.data(), "sys", "sys", 9, static_cast<int>(seed % 3) * 6);
        EXPECT_TRUE(got == 0 || got == 1 || got == -1) << got;
        if (got != 0 && testsupport::fileExists(in + "\\0N0001.D")) {
            EXPECT_EQ(testsupport::readFile(in + "\\0N0001.D"), d);
        }
        for (const std::string& name : testsupport::listFolder(in))
            std::remove((in + "\\" + name).c_str());
    }
}

}  // namespace
