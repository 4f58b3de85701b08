// Quoted-printable: the in-place line decoder on every line, the ISO file
// conversion of the whole input, and the writer, read in pieces of changing
// sizes, whose lines must stay within 76 characters and which the line
// decoder must turn back into the input.
#include "codecs/isoconvert.h"
#include "codecs/quotedprintable.h"
#include "fuzz_input.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Hands the input over in reads of changing sizes (a NUL ends it too).
class Source : public tarn::ByteSource {
public:
    Source(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    std::size_t read(char* buffer, std::size_t size) override
    {
        static const std::size_t pieces[] = {1, 3, 64, 2, 7, 4096};
        std::size_t n = std::min({size, pieces[reads_++ % 6], n_ - i_});
        std::memcpy(buffer, d_ + i_, n);
        i_ += n;
        return n;
    }

private:
    const uint8_t* d_;
    size_t n_;
    size_t i_ = 0;
    size_t reads_ = 0;
};

class Sink : public tarn::ByteSink {
public:
    void put(const char* bytes, std::size_t n) override { out.append(bytes, n); }
    std::string out;
};

// Runs the line decoder over every line of `text`, as DECODE_ISO's pieces
// would be, and returns what it made of them.
std::string decodedLines(const std::string& text)
{
    std::string bytes;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
        start = end == std::string::npos ? text.size() : end + 1;
        std::vector<char> piece(line.c_str(), line.c_str() + std::strlen(line.c_str()) + 1);
        std::size_t before = std::strlen(piece.data());
        tarn::decodeQuotedLine(piece.data());
        if (std::strlen(piece.data()) > before)
            std::abort();
        bytes += piece.data();
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzScratchFolder();
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)decodedLines(text);
    tarn::selectNoMapping();
    Source source(data, size);
    Sink sink;
    tarn::writeQuotedPrintable(source, sink);
    std::size_t column = 0;
    for (char c : sink.out) {
        if (static_cast<unsigned char>(c) > 126)
            std::abort();
        column = c == '\n' ? 0 : column + 1;
        if (column > 76)
            std::abort();
    }
    const char* bytes = reinterpret_cast<const char*>(data);
    if (decodedLines(sink.out) != std::string(bytes, strnlen(bytes, size)))  // up to a NUL
        std::abort();
    if (fuzzWriteFile("in.txt", data, size))
        tarn::decodeIsoFile("in.txt", "out.txt");
    fuzzClearFolder();
    return 0;
}
