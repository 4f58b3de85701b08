// The .z decoder on arbitrary bytes, raw and behind a valid header, and the
// encoder's round trip of the same bytes.
#include "lzw.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string out;
    {
        lzw::Decoder d;
        d.write(data, size, out);
        d.finish();
    }
    if (size < 1)
        return 0;
    const int bits = lzw::kMinBits + data[0] % 8;
    const uint8_t header[3] = {0x1f, 0x9d, static_cast<uint8_t>(0x80 | bits)};
    lzw::Decoder behind;
    out.clear();
    behind.write(header, 3, out);
    behind.write(data + 1, size - 1, out);
    behind.finish();

    lzw::Encoder e(bits);
    std::string z;
    e.write(data + 1, size - 1, z);
    e.finish(z);
    lzw::Decoder back;
    std::string again;
    if (back.write(reinterpret_cast<const uint8_t*>(z.data()), z.size(), again) !=
            lzw::Decoder::Status::kOk ||
        back.finish() != lzw::Decoder::Status::kOk ||
        again != std::string(reinterpret_cast<const char*>(data) + 1, size - 1))
        std::abort();
    return 0;
}
