// MIMEDECODE: the bytes of a message's first base64 body, written to a file.
//
// The decoder does not follow the multipart structure. It reads the message
// in lines of at most 79 characters (a longer line arrives as several) and
// classifies each: in header mode a line of base64 characters only starts
// the body, any other line is a header line. The body runs until a line
// that starts below "+" or until a character outside the alphabet ("=",
// "-", a space), which ends the part; the first part's bytes are the output.
// Later parts are still read for their name= parameters, which decide,
// together with "$$$$$$$$.$$$" in the current directory, what is left at
// outPath when the message ends. No Win32 here (deletes and renames go
// through codecplatform.h).
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

constexpr std::size_t kMimeLineWidth = 80;  // line and attachment-name buffers
extern const char kMimeScratchName[];       // "$$$$$$$$.$$$"

// The header word scanner over one NUL-terminated line.
class HeaderScanner {
public:
    enum class Kind { field, parameter, value };

    explicit HeaderScanner(const char* line);

    // The field word: the first word after leading spaces (possibly empty).
    std::string field();
    // The next word of `kind`, skipping words of other kinds; empty once
    // the line has ended.
    std::string next(Kind kind);
    // Where the last word returned starts (for taking a value).
    const char* lastWordStart() const { return lastStart_; }
    bool ended() const { return ended_; }

private:
    bool nextWord(Kind& kind, std::string& word);

    const unsigned char* p_;
    const char* lastStart_ = nullptr;
    Kind nextKind_ = Kind::parameter;
    bool ended_ = false;
};

// True for letters, digits and "-", "." and "/".
bool isWordChar(unsigned char c);
// Not empty and the first characters of `keyword`, ignoring case.
bool matchesKeyword(const std::string& word, const char* keyword);
// A line whose characters up to the line feed (or the end) are all base64
// characters, "=" included; the empty line is not one.
bool isDataLine(const char* line);

// The base64 accumulator of one part.
class Base64Accumulator {
public:
    // 6-bit value of a character, -1 for anything else ("=" included).
    static int value(unsigned char c);
    // Decodes characters up to the line feed or the NUL, appending bytes to
    // `out`. False when a character outside the alphabet ended the part.
    bool decodeLine(const char* line, std::string* out);
    void clear() { acc_ = 0; bits_ = 0; }

private:
    unsigned acc_ = 0;
    int bits_ = 0;
};

// MIMEDECODE: 0 when the message was read to its end; -1 when a file cannot
// be opened, outPath is longer than 79 characters, or a later part names
// outPath after the first part ended without a name of its own.
int mimeDecodeFile(const std::string& inPath, const std::string& outPath);

}  // namespace tarn
