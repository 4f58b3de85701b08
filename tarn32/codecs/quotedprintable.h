// The quoted-printable writer and WRITEQUOTED.
//
// The writer takes bytes from a source in blocks and writes the
// quoted-printable text to a sink, also in blocks: soft line breaks "=" LF at column 75 (73
// before an escape), a blank before a line end or the end of the input
// followed by "=" LF, "=" as "=3D", every other byte outside 33..126 as
// "=%02X". The input ends at its end or at a NUL byte; nothing is added
// after the last byte. The column is the library-wide writer state.
//
// WRITEQUOTED encodes a file in place: the text is written into a new file
// beside it, which then replaces the file, so the original is untouched on
// every failure. No Win32 here (the replace goes through codecplatform.h).
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to `size` bytes of the input to `buffer` and returns how
    // many; 0 at the end of the input. A NUL byte ends the input too.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void put(const char* bytes, std::size_t n) = 0;
};

// Runs the writer from column 0 over the whole source. Every byte passes the
// library-wide output mapping (isoconvert.h) on its way in.
void writeQuotedPrintable(ByteSource& source, ByteSink& sink);

struct QuotedResult {
    int code;               // 0 or -1
    std::string errorText;  // the error buffer's text on -1
};

// WRITEQUOTED: replaces the file at `path` by its quoted-printable text.
QuotedResult writeQuotedFile(const std::string& path);

}  // namespace tarn
