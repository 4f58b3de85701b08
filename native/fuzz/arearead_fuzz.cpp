// The area-file read chunker and the body extraction on an arbitrary file,
// at an offset and count taken from the first eight input bytes, with both
// chunk limits. The text buffer is exactly the size a caller provides, so
// any write past it is caught.
#include "fuzz_input.h"
#include "store/arearead.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    fuzzScratchFolder();
    int32_t offset, count;
    std::memcpy(&offset, data, 4);
    std::memcpy(&count, data + 4, 4);
    // Mostly near the file, sometimes anywhere.
    if ((offset & 0x40000000) == 0)
        offset = static_cast<int32_t>(offset % static_cast<int32_t>(size + 16));
    if ((count & 0x40000000) == 0)
        count = static_cast<int32_t>(count % 70000);
    if (!fuzzWriteFile("area.txt", data + 8, size - 8))
        return 0;
    for (const tarn::ChunkLimits& limits : {tarn::kMessageChunk, tarn::kNewsChunk}) {
        std::vector<char> text(tarn::textBufferSize(limits));
        tarn::ReadOutcome r = tarn::readChunk("area.txt", offset, count, limits, text.data());
        if (std::memchr(text.data(), 0, text.size()) == nullptr)
            std::abort();
        if (r.result == -1 ? r.error == nullptr : r.result < 1)
            std::abort();
    }
    std::vector<char> text(tarn::textBufferSize(tarn::kMessageChunk));
    tarn::ReadOutcome r = tarn::extractBody("area.txt", offset, count, text.data());
    if (std::memchr(text.data(), 0, text.size()) == nullptr)
        std::abort();
    // A body length of 0 or below gives that length + 1, without an error
    // text: -1 then means a count 2 short of the header, not a failure.
    if (r.result == -1 && r.error == nullptr && count > 1 && text[0] != 0)
        std::abort();
    return 0;
}
