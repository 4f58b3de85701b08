// Received job files: arbitrary bytes, both letter rules.
#include "fuzz_input.h"
#include "uucpmail/jobfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (tarn::JobLetters letters : {tarn::JobLetters::kAnyCase, tarn::JobLetters::kUpperOnly}) {
        std::FILE* f = fuzzFile(data, size);
        if (!f)
            return 0;
        tarn::JobFile job = tarn::readJobFile(f, letters, letters == tarn::JobLetters::kAnyCase ? 2000 : 200);
        std::fclose(f);
        if (job.spoolName.size() > tarn::kSpoolNameSize - 1 ||
            job.commandLine.size() > tarn::kCommandLineSize - 1)
            std::abort();
    }
    return 0;
}
