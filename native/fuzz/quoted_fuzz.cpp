// Quoted-printable: the in-place line decoder on every line, the ISO file
// conversion of the whole input, and the writer, whose output must decode
// back to the input.
#include "fuzz_input.h"
#include "isoconvert.h"
#include "quotedprintable.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class Source : public tarn::ByteSource {
public:
    Source(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    int next() override { return i_ < n_ ? d_[i_++] : 0; }  // a NUL ends it too

private:
    const uint8_t* d_;
    size_t n_;
    size_t i_ = 0;
};

class Sink : public tarn::ByteSink {
public:
    void put(const char* bytes, std::size_t n) override { out.append(bytes, n); }
    std::string out;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzScratchFolder();
    std::string text(reinterpret_cast<const char*>(data), size);
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
    }
    tarn::selectNoMapping();
    Source source(data, size);
    Sink sink;
    tarn::writeQuotedPrintable(source, sink);
    for (char c : sink.out) {
        if (static_cast<unsigned char>(c) > 126)
            std::abort();
    }
    if (fuzzWriteFile("in.txt", data, size))
        tarn::decodeIsoFile("in.txt", "out.txt");
    fuzzClearFolder();
    return 0;
}
