// EXPNEWS: one outgoing news batch as a UUCP news job.
//
// The host leaves the batch in the outbound folder: "rnews" (plain rnews
// format) to be compressed, or "rnews.z" ready to send. With compressBits
// above 0 wincomp.exe compresses "rnews" into "rnews.z" first (the library
// waits for it, bounded). The job is numbered from the counter shared with
// mail export and queued through uucpjobs: NNNN.CMD and NNNN.XQT of a news
// job ("news" user, "C rnews"), and NNNN.DAT holding "#! cunbatch\n" (when
// compressed) and every byte of "rnews.z", which is then deleted; "rnews"
// is left to the host. Log "news.log" in the work folder, no level digits.
//
// When no job can be queued (compressor not started, "rnews.z" or a job
// file not there or not writable, no free job number) the result is -1, the
// outbound folder keeps no file of this call and the counter is unchanged.
// A compressed export removes an old "rnews.z" before the compressor runs,
// so that only its own output is ever sent.
#pragma once

#include "outsideprogram.h"

#include <string>

namespace tarn {

struct NewsExportArgs {
    std::string outboundFolder;  // with its trailing backslash
    std::string workFolder;      // with its trailing backslash
    std::string systemName;
    long messageCount = 0;       // only reported in the log
    int logLevel = 0;
    long compressBits = 0;       // above 0: compress with this code width
    unsigned programWaitMs = kProgramWaitMs;
};

// 0 when the job was queued, -1 otherwise.
int exportNews(const NewsExportArgs& args);

}  // namespace tarn
