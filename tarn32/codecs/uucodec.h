// _UUENCODE@20: UU encoding into part files and decoding back.
//
// The direction follows from the input's extension: none, or one beginning
// ".enc", ".xxe" or ".uue", decodes; any other encodes. Encoding writes
// name.enc and, with a part size, name.en2 ... name.e99, and the number of
// parts into "quelp.dat". Decoding reads the standard alphabet or a private
// one ("table", "charmap"), follows the text into the next part files,
// repairs what it can and warns about the rest. Every progress line and
// diagnostic goes to standard output; the working values live in
// codecstate.h. No Win32 here.
//
// Limits: file names (after the extension is set) 79 characters, the begin
// name 15, the count folder 151, part numbers 99. Past them the call ends
// with an error diagnostic and writes nothing more.
#pragma once

#include <string>

namespace tarn {

constexpr std::size_t kUuNameLimit = 79;
constexpr std::size_t kUuBeginNameLimit = 15;
constexpr std::size_t kUuCountDirLimit = 151;
constexpr int kUuMaxPart = 99;
constexpr int kUuFullLineBytes = 45;

struct UuArgs {
    std::string inFile;
    std::string outFile;    // may be empty
    std::string beginName;  // may be empty
    std::string countDir;
    int maxKB = 0;          // 0: one part of any size
};

// Runs one call; the export's result is always 0.
void runUuCodec(const UuArgs& args);

// The extension of a name: from the last "." of its file-name part to the
// end, or empty.
std::string uuExtension(const std::string& name);
// True when a (lower-case) input name is decoded rather than encoded.
bool uuDecodes(const std::string& lowerName);
// The name of part `part` (2..99) derived from the first part's name: the
// digit part % 10 over the extension's last character, part / 10 over the one
// before it from 10 on. False when part is past 99 or the extension is too
// short to hold the digits.
bool uuPartName(std::string& name, int part);
// One data line for d bytes (1..45) in `alphabet`, with its line feed.
std::string uuEncodeLine(const unsigned char* bytes, int d, const char* alphabet);

// Data lines in one alphabet, two characters (twelve bits) per table look-up.
class UuLineEncoder {
public:
    explicit UuLineEncoder(const char* alphabet);
    // The line for d bytes (1..45) written to `out`, which has room for
    // kUuLineTextMax characters; returns how many were written.
    int encode(const unsigned char* bytes, int d, char* out) const;

private:
    char alphabet_[64];
    unsigned char pairs_[4096][2];  // the two characters of each 12-bit value
};
constexpr int kUuLineTextMax = 2 + 4 * ((kUuFullLineBytes + 2) / 3);

}  // namespace tarn
