// IMPNEWS: one received UUCP news batch into the message store.
//
// Finds a news job ("C rnews") among the "*.x" job files of the inbound
// folder, has a compressed batch expanded by wincomp.exe, splits the plain
// batch into articles, places each through "area.dat", appends it to
// "area" + N + ".txt" in the work folder and records it in "Header.Msg" in
// the inbound folder, which is deleted at the start of every job examined
// so that it holds the records of one batch only. File layouts in
// newsfiles.h; the log is "news.log" in the work folder, without level
// digits.
//
// Sound behaviour where the plain reading would lose data: "area.dat" and,
// for a plain batch, the data file are checked before the job file is
// deleted, and the data file is moved to the work name before the job goes;
// a failed move or replacement of a work file stops the import instead of
// reading an older batch; an article size that is not a number or negative,
// or a header longer than the size it announced, never moves the reading
// backwards: the batch is read on to the next "#! rnews " line. The index
// record of an article is written only once its area file is open.
#pragma once

#include "outsideprogram.h"

#include <string>

namespace tarn {

struct NewsImportArgs {
    std::string inboundFolder;  // with its trailing backslash
    std::string workFolder;     // with its trailing backslash
    std::string systemName1;
    std::string systemName2;
    int logLevel = 0;
    long compressBits = 0;      // 0: plain batches; above 0: "#! cunbatch" batches of this width
    unsigned programWaitMs = kProgramWaitMs;
};

// 0: one batch imported (however many of its articles could be placed);
// 1: nothing imported (no job, or every job examined was skipped);
// -1: an error stopped the import.
int importNews(const NewsImportArgs& args);

}  // namespace tarn
