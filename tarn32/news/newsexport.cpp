#include "newsexport.h"

#include "frame/filecopy.h"
#include "frame/paths.h"
#include "frame/prelog.h"
#include "frame/stdiofile.h"
#include "newsfiles.h"
#include "uucpmail/uucpjobs.h"

#include <cstdio>
#include <cstring>

namespace tarn {

namespace {

constexpr const char* kBatchName = "rnews";
constexpr const char* kReadyBatchName = "rnews.z";
constexpr char kCompressedLead[] = "#! cunbatch\n";  // 12 bytes

// Has wincomp.exe turn "rnews" into "rnews.z". False (logged) when the
// program cannot be started.
bool compressBatch(const NewsExportArgs& args, const std::string& readyPath, PreLog& log)
{
    log.write(8, "about to compress \n");
    char command[kExpNewsPathWidth + 32];
    std::snprintf(command, sizeof command, "wincomp.exe -fk  -b %ld %s%s", args.compressBits,
                  args.outboundFolder.c_str(), kBatchName);
    if (!fitsWidth(std::strlen(command), kExpNewsPathWidth)) {
        log.write(0, "unable to execute Winexec, %s\n", command);
        return false;
    }
    std::remove(readyPath.c_str());
    log.flush();
    switch (runProgramAndWait(command, args.programWaitMs)) {
    case ProgramRun::kCannotStart:
        log.write(0, "unable to execute Winexec, %s\n", command);
        return false;
    case ProgramRun::kTimedOut:
        std::remove(readyPath.c_str());  // incomplete: as if never made
        break;
    case ProgramRun::kFinished:
        break;
    }
    return true;
}

// Makes NNNN.DAT at `dataPath` from "rnews.z".
bool writeDataFile(const NewsExportArgs& args, const std::string& readyPath,
                   const std::string& dataPath, PreLog& log)
{
    const std::string dataName = dataPath.substr(args.outboundFolder.size());
    StdioFile data;
    if (!data.open(dataPath, "wb")) {
        log.write(0, "Cannot open %s\n", dataName.c_str());
        return false;
    }
    StdioFile ready;
    if (!ready.open(readyPath, "rb")) {
        log.write(0, "Cannot open compressed file %s\n", readyPath.c_str());
        return false;
    }
    bool ok = args.compressBits <= 0 ||
              writeAll(data.get(), kCompressedLead, sizeof kCompressedLead - 1);
    ok = ok && copyWhole(ready.get(), data.get()) && data.close();
    if (!ok) {
        log.write(0, "Cannot open %s\n", dataName.c_str());
        return false;
    }
    log.flush();
    return true;
}

}  // namespace

int exportNews(const NewsExportArgs& args)
{
    std::string logPath, readyPath;
    PreLog log;
    if (!appendName(args.workFolder, kNewsLogName, kExpNewsPathWidth, logPath) ||
        !log.open(logPath, args.logLevel))
        return -1;
    log.write(0, "News export started\n");
    if (!appendName(args.outboundFolder, kReadyBatchName, kExpNewsPathWidth, readyPath)) {
        log.write(0, "Cannot open compressed file %s%s\n", args.outboundFolder.c_str(),
                  kReadyBatchName);
        return -1;
    }
    if (args.compressBits > 0 && !compressBatch(args, readyPath, log))
        return -1;

    JobRequest request;
    request.outboundFolder = args.outboundFolder;
    request.workFolder = args.workFolder;
    request.pathWidth = kExpNewsPathWidth;
    request.kind = kNewsJob;
    request.systemName = args.systemName;
    request.command = "rnews";
    request.counterUnreadableText = "Cannot open export.dat (news)\n";
    request.counterUnwritableText = "Cannot open export.dat to write\n";
    request.placeData = [&](const std::string& dataPath) {
        return writeDataFile(args, readyPath, dataPath, log);
    };
    if (queueJob(request, log) < 0)
        return -1;

    std::remove(readyPath.c_str());
    log.write(0, "Exported %ld messages\n", args.messageCount);
    log.write(0, "News export complete\n");
    return 0;
}

}  // namespace tarn
