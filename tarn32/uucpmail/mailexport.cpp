#include "mailexport.h"

#include "frame/paths.h"
#include "frame/prelog.h"
#include "frame/stdiofile.h"
#include "uucpjobs.h"

#include <cstdio>

namespace tarn {

int exportMail(const MailExportArgs& args)
{
    // Copies of the folders with their backslash; the caller's strings stay.
    std::string outbound = args.outboundFolder + "\\";
    std::string work = args.workFolder + "\\";
    if (!fitsWidth(outbound.size(), kExpMailFolderWidth) ||
        !fitsWidth(work.size(), kExpMailFolderWidth))
        return -1;

    std::string logPath, preparedPath;
    PreLog log;
    if (!appendName(work, "mail.log", kExpMailPathWidth, logPath) || !log.open(logPath, args.logLevel))
        return -1;

    // A line break would add lines of its own to the execute file, which the
    // remote system would obey.
    if (!fitsOnJobLine(args.recipients) || !fitsOnJobLine(args.systemName)) {
        log.write(0, "Cannot export: line break in recipients or system name\n");
        return -1;
    }
    // Without the prepared message the job would carry no data.
    StdioFile prepared;
    if (!appendName(outbound, kPreparedMailName, kExpMailPathWidth, preparedPath) ||
        !prepared.open(preparedPath, "rb")) {
        log.write(0, "Cannot open %s\n", (outbound + kPreparedMailName).c_str());
        return -1;
    }
    prepared.close();

    JobRequest job;
    job.outboundFolder = outbound;
    job.workFolder = work;
    job.pathWidth = kExpMailPathWidth;
    job.kind = kMailJob;
    job.systemName = args.systemName;
    job.command = "rmail " + args.recipients;
    job.counterUnreadableText = "Cannot open export.dat (mail)\n";
    job.counterUnwritableText = "Cannot open export.dat to write (mail)\n";
    job.placeData = [&](const std::string& dataPath) {
        log.write(2, "Exporting message to %s from %s\n", args.recipients.c_str(),
                  args.sender.c_str());
        log.flush();
        if (std::rename(preparedPath.c_str(), dataPath.c_str()) != 0) {
            log.write(0, "Cannot rename %s to %s\n", preparedPath.c_str(), dataPath.c_str());
            return false;
        }
        return true;
    };
    return queueJob(job, log) > 0 ? 0 : -1;
}

}  // namespace tarn
