// Spool-name shortening on arbitrary names and system names.
#include "fuzz_input.h"
#include "uucpmail/spoolname.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> s = fuzzStrings(data, size, 3);
    std::string out;
    if (tarn::shortenSpoolName(s[0], s[1], s[2], out)) {
        // Code character, at most seven tail characters, point, letter.
        if (out.size() < 3 || out.size() > 10 || out[out.size() - 2] != '.')
            std::abort();
    }
    return 0;
}
