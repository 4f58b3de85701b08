// MIME decoding of an arbitrary message file, and its line-level pieces
// (header word scanner, data-line test, base64 accumulator) on every line.
#include "codecs/mimedecode.h"
#include "fuzz_input.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzScratchFolder();
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    tarn::Base64Accumulator acc;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
        start = end == std::string::npos ? text.size() : end + 1;
        std::string z = line.c_str();  // as the decoder sees it: up to a NUL
        tarn::HeaderScanner scan(z.c_str());
        std::string field = scan.field();
        if (field.size() > z.size())
            std::abort();
        for (int i = 0; i < 200 && !scan.ended(); ++i) {
            std::string w = scan.next(tarn::HeaderScanner::Kind::value);
            if (w.size() > z.size())
                std::abort();
            if (w.empty())
                break;
        }
        tarn::isDataLine(z.c_str());
        std::string out;
        acc.decodeLine(z.c_str(), &out);
        if (out.size() > z.size())
            std::abort();
    }
    if (!fuzzWriteFile("in.msg", data, size))
        return 0;
    tarn::mimeDecodeFile("in.msg", "out.bin");
    fuzzClearFolder();
    return 0;
}
