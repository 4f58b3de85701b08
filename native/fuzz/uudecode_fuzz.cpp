// UU decoding of arbitrary text: the input as the first part "in.uue",
// the part files it may lead on to absent. Progress text goes to standard
// output, which the driver discards.
#include "codecs/uucodec.h"
#include "fuzz_input.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    fuzzScratchFolder();
    if (!fuzzWriteFile("in.uue", data, size))
        return 0;
    tarn::UuArgs args;
    args.inFile = "in.uue";
    args.countDir = ".";
    tarn::runUuCodec(args);
    fuzzClearFolder();
    return 0;
}
