// The mail header scan on arbitrary message bytes.
#include "fuzz_input.h"
#include "uucpmail/headerscan.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::FILE* f = fuzzFile(data, size);
    if (!f)
        return 0;
    tarn::MailHeaders h = tarn::scanMailHeaders(f);
    std::fclose(f);
    if (h.from.size() > 199 || h.subject.size() > 199 || h.messageId.size() > 199 ||
        h.date.size() > 99 || h.cc.size() > 2047)
        std::abort();
    return 0;
}
