#include "peimage.h"

#include <cstring>

namespace testsupport {

namespace {

// Offsets into the headers (the PE/COFF layout). The optional header's data
// directories start at 96 in PE32 and at 112 in PE32+.
constexpr std::size_t kLfanewAt = 0x3c;
constexpr std::size_t kCoffSize = 20;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::size_t kSectionSize = 40;
constexpr std::size_t kExportDirSize = 40;
constexpr std::size_t kImportDescSize = 20;
// No table of a shipped binary comes near these; a damaged count is refused
// rather than walked.
constexpr std::uint32_t kMaxNames = 65536;
constexpr std::size_t kMaxImports = 4096;

class Reader {
public:
    explicit Reader(const std::string& bytes) : b_(bytes) {}

    bool has(std::size_t at, std::size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
    std::uint16_t u16(std::size_t at) const { return static_cast<std::uint16_t>(u(at, 2)); }
    std::uint32_t u32(std::size_t at) const { return static_cast<std::uint32_t>(u(at, 4)); }

    // A NUL-ended name at a file offset; false when it runs off the end.
    bool name(std::size_t at, std::string& out) const
    {
        if (at >= b_.size())
            return false;
        const void* end = std::memchr(b_.data() + at, 0, b_.size() - at);
        if (!end)
            return false;
        out.assign(b_.data() + at, static_cast<const char*>(end));
        return true;
    }

private:
    std::uint64_t u(std::size_t at, int n) const
    {
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(b_[at + i]);
        return v;
    }
    const std::string& b_;
};

struct Section {
    std::uint32_t rva, size, fileOffset, fileSize;
};

// File offset of `n` bytes at a relative virtual address, when they lie in
// one section's file data.
bool fileOffset(const std::vector<Section>& sections, std::uint64_t rva, std::uint64_t n,
                std::size_t& out)
{
    for (const Section& s : sections) {
        if (rva >= s.rva && rva - s.rva < s.size) {
            std::uint64_t within = rva - s.rva;
            if (within + n > s.fileSize)
                return false;
            out = static_cast<std::size_t>(s.fileOffset + within);
            return true;
        }
    }
    return false;
}

}  // namespace

PeImage parsePeImage(const std::string& bytes)
{
    PeImage img;
    Reader r(bytes);
    auto fail = [&img](const char* why) {
        img.error = why;
        img.exportsByName.clear();
        img.importedDlls.clear();
        return img;
    };
    if (!r.has(0, kLfanewAt + 4) || r.u16(0) != 0x5a4d)
        return fail("no MZ header");
    std::size_t pe = r.u32(kLfanewAt);
    if (!r.has(pe, 4 + kCoffSize) || r.u32(pe) != 0x00004550)
        return fail("no PE signature");
    std::size_t coff = pe + 4;
    img.machine = r.u16(coff);
    std::uint16_t sectionCount = r.u16(coff + 2);
    std::uint16_t optionalSize = r.u16(coff + 16);
    std::size_t opt = coff + kCoffSize;
    if (!r.has(opt, optionalSize) || optionalSize < 2)
        return fail("optional header cut short");
    std::uint16_t magic = r.u16(opt);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        return fail("optional header is neither PE32 nor PE32+");
    img.pe32plus = magic == kMagicPe32Plus;
    std::size_t countAt = opt + (img.pe32plus ? 108 : 92);
    std::size_t dirs = countAt + 4;
    if (countAt + 4 > opt + optionalSize)
        return fail("optional header cut short");
    std::uint32_t dirCount = r.u32(countAt);
    if (dirCount > (opt + optionalSize - dirs) / 8)
        return fail("more data directories than the optional header holds");

    std::vector<Section> sections;
    std::size_t sec = opt + optionalSize;
    if (!r.has(sec, std::size_t{sectionCount} * kSectionSize))
        return fail("section table cut short");
    for (std::uint16_t i = 0; i < sectionCount; ++i, sec += kSectionSize) {
        Section s{r.u32(sec + 12), r.u32(sec + 8), r.u32(sec + 20), r.u32(sec + 16)};
        if (s.size < s.fileSize)
            s.size = s.fileSize;
        if (!r.has(s.fileOffset, s.fileSize))
            return fail("section data past the end of the file");
        sections.push_back(s);
    }
    auto at = [&](std::uint64_t rva, std::uint64_t n, std::size_t& out) {
        return fileOffset(sections, rva, n, out);
    };

    // Exports: names through the name and ordinal tables.
    if (dirCount > 0 && r.u32(dirs) != 0) {
        std::size_t ex;
        if (!at(r.u32(dirs), kExportDirSize, ex))
            return fail("export directory outside the file");
        std::uint32_t base = r.u32(ex + 16);
        std::uint32_t nameCount = r.u32(ex + 24);
        if (nameCount > kMaxNames)
            return fail("export name count out of range");
        std::size_t names = 0, ords = 0;
        if (nameCount > 0 && (!at(r.u32(ex + 32), std::uint64_t{nameCount} * 4, names) ||
                              !at(r.u32(ex + 36), std::uint64_t{nameCount} * 2, ords)))
            return fail("export name tables outside the file");
        for (std::uint32_t i = 0; i < nameCount; ++i) {
            std::size_t nameAt;
            std::string name;
            if (!at(r.u32(names + 4 * i), 1, nameAt) || !r.name(nameAt, name))
                return fail("export name outside the file");
            img.exportsByName[name] = static_cast<int>(r.u16(ords + 2 * i) + base);
        }
    }
    // Imports: one descriptor per DLL, ended by a descriptor of zeros.
    if (dirCount > 1 && r.u32(dirs + 8) != 0) {
        std::size_t desc;
        if (!at(r.u32(dirs + 8), kImportDescSize, desc))
            return fail("import directory outside the file");
        for (std::size_t i = 0;; ++i) {
            std::size_t d;
            if (i == kMaxImports || !at(std::uint64_t{r.u32(dirs + 8)} + i * kImportDescSize,
                                        kImportDescSize, d))
                return fail("import directory not ended inside the file");
            std::uint32_t nameRva = r.u32(d + 12);
            if (nameRva == 0)
                break;
            std::size_t nameAt;
            std::string name;
            if (!at(nameRva, 1, nameAt) || !r.name(nameAt, name))
                return fail("imported DLL name outside the file");
            img.importedDlls.push_back(name);
        }
    }
    return img;
}

}  // namespace testsupport
