// Both Windows builds checked from their files, on any machine, whether or
// not it can run them: every binary of build32/ is an i386 PE32 image and
// every binary of build64/ an x86_64 PE32+ image; the shipped ones export
// exactly their tables, under the same names and ordinals in both builds, and
// import only the system's DLLs. And the image reader itself on damaged
// files: a clean refusal, never a read past the bytes (under the sanitizers).
#include "imagecheck.h"
#include "peimage.h"
#include "shippedbinaries.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using testsupport::parsePeImage;
using testsupport::PeImage;
using testsupport::readFile;

struct Build {
    const char* tree;
    std::uint16_t machine;
};
const Build kBuilds[] = {{"build32", testsupport::kMachineI386},
                         {"build64", testsupport::kMachineAmd64}};

std::string binFolder(const Build& b) { return std::string(TARN_SOURCE_ROOT) + "/" + b.tree + "/bin"; }

// Every .exe and .dll under a folder, subfolders included.
void listImages(const std::string& folder, std::vector<std::string>& out)
{
    DIR* d = opendir(folder.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = folder + "/" + name;
        if (e->d_type == DT_DIR)
            listImages(path, out);
        else if (name.size() > 4 && (name.compare(name.size() - 4, 4, ".exe") == 0 ||
                                     name.compare(name.size() - 4, 4, ".dll") == 0))
            out.push_back(path);
    }
    closedir(d);
}

TEST(WindowsBuilds, ShippedBinariesAsAHostsLoaderSeesThem)
{
    for (const Build& b : kBuilds) {
        for (const shipped::Binary& bin : shipped::kBinaries) {
            std::string path = binFolder(b) + "/" + bin.file;
            SCOPED_TRACE(path);
            std::string bytes = readFile(path);
            ASSERT_FALSE(bytes.empty()) << "missing: bash scripts/build.sh makes both builds";
            testsupport::expectShippedImage(parsePeImage(bytes), b.machine, bin.exports);
        }
    }
}

TEST(WindowsBuilds, EveryBinaryIsOfItsBuildsMachine)
{
    for (const Build& b : kBuilds) {
        std::vector<std::string> images;
        listImages(binFolder(b), images);
        EXPECT_GE(images.size(), std::size(shipped::kBinaries)) << b.tree;
        for (const std::string& path : images) {
            std::string bytes = readFile(path);
            ASSERT_FALSE(bytes.empty()) << path;
            PeImage img = parsePeImage(bytes);
            EXPECT_EQ(img.error, "") << path;
            EXPECT_EQ(img.machine, b.machine) << path;
        }
    }
}

// A build's image of tarn32, for the damage cases below.
std::string tarn32Bytes(const Build& b)
{
    return readFile(binFolder(b) + "/tarn32.dll");
}

// A file cut short is refused while the cut takes any of the headers or the
// sections' data; cut only in what follows the sections (the symbols a
// static link leaves), it still reads whole. Never a partial table.
TEST(PeReader, RefusesEveryImageCutShort)
{
    for (const Build& b : kBuilds) {
        std::string whole = tarn32Bytes(b);
        ASSERT_FALSE(whole.empty()) << b.tree;
        PeImage full = parsePeImage(whole);
        ASSERT_EQ(full.error, "");
        for (std::size_t n = 0; n < 4096; ++n)
            EXPECT_NE(parsePeImage(whole.substr(0, n)).error, "") << b.tree << " cut at " << n;
        int refused = 0;
        for (std::size_t n = 4096; n < whole.size(); n += whole.size() / 97 + 1) {
            PeImage img = parsePeImage(whole.substr(0, n));
            if (!img.error.empty()) {
                ++refused;
                EXPECT_TRUE(img.exportsByName.empty() && img.importedDlls.empty()) << n;
            } else {
                EXPECT_EQ(img.exportsByName, full.exportsByName) << n;
                EXPECT_EQ(img.importedDlls, full.importedDlls) << n;
            }
        }
        EXPECT_GT(refused, 0) << b.tree;
    }
}

void putU32(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}
std::uint32_t getU32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

TEST(PeReader, RefusesDamagedHeadersAndTables)
{
    for (const Build& b : kBuilds) {
        SCOPED_TRACE(b.tree);
        const std::string whole = tarn32Bytes(b);
        ASSERT_FALSE(whole.empty());
        const std::size_t pe = getU32(whole, 0x3c);
        const std::size_t opt = pe + 24;
        const std::size_t dirs = opt + (b.machine == testsupport::kMachineAmd64 ? 112 : 96);
        struct Damage {
            const char* what;
            void (*apply)(std::string&, std::size_t pe, std::size_t opt, std::size_t dirs);
            const char* error;
        };
        const Damage damages[] = {
            {"no MZ", [](std::string& s, std::size_t, std::size_t, std::size_t) { s[0] = 'X'; },
             "no MZ header"},
            {"header offset past the end",
             [](std::string& s, std::size_t, std::size_t, std::size_t) { putU32(s, 0x3c, 0xfffffff0u); },
             "no PE signature"},
            {"no PE signature", [](std::string& s, std::size_t pe, std::size_t, std::size_t) { s[pe] = 'Q'; },
             "no PE signature"},
            {"ROM magic", [](std::string& s, std::size_t, std::size_t opt, std::size_t) {
                 s[opt] = 0x07; s[opt + 1] = 0x01; },
             "optional header is neither PE32 nor PE32+"},
            {"export directory far away",
             [](std::string& s, std::size_t, std::size_t, std::size_t dirs) { putU32(s, dirs, 0x7ffffff0u); },
             "export directory outside the file"},
            {"import directory far away",
             [](std::string& s, std::size_t, std::size_t, std::size_t dirs) { putU32(s, dirs + 8, 0x7ffffff0u); },
             "import directory outside the file"},
            {"data directory count past the header",
             [](std::string& s, std::size_t, std::size_t, std::size_t dirs) { putU32(s, dirs - 4, 0x10000u); },
             "more data directories than the optional header holds"},
        };
        for (const Damage& d : damages) {
            std::string bytes = whole;
            d.apply(bytes, pe, opt, dirs);
            EXPECT_EQ(parsePeImage(bytes).error, d.error) << d.what;
        }
    }
}

// One byte at a time through the headers and the export table, each set to
// values that turn counts and offsets into large ones: whatever the reader
// makes of it, it stays inside the bytes (the sanitizers would stop it) and
// comes back.
TEST(PeReader, SurvivesEveryHeaderByteDamaged)
{
    for (const Build& b : kBuilds) {
        std::string bytes = tarn32Bytes(b);
        ASSERT_FALSE(bytes.empty()) << b.tree;
        std::size_t end = std::min<std::size_t>(bytes.size(), 2048);
        int refused = 0;
        for (std::size_t i = 0; i < end; ++i) {
            char kept = bytes[i];
            for (char v : {'\xff', '\x80', '\x00'}) {
                bytes[i] = v;
                refused += !parsePeImage(bytes).error.empty();
            }
            bytes[i] = kept;
        }
        EXPECT_GT(refused, 0) << b.tree;
    }
}

}  // namespace
