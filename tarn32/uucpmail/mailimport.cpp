#include "mailimport.h"

#include "frame/filecopy.h"
#include "frame/findfiles.h"
#include "frame/paths.h"
#include "frame/prelog.h"
#include "frame/stdiofile.h"
#include "headerscan.h"
#include "jobfile.h"
#include "spoolname.h"
#include "store/areafile.h"

#include <strings.h>

#include <cstdio>

namespace tarn {

namespace {

std::string withLineFeed(const std::string& text)
{
    return text.find('\n') == std::string::npos ? text + "\n" : text;
}

// Lines 1 to 6 of the record.
std::string recordHead(const std::string& recipientLine, const MailHeaders& h)
{
    std::string r = withLineFeed(recipientLine);
    // A From line cut at its kept size has lost its line feed; it gets one so
    // that the record keeps its eight lines.
    r += h.hasFrom ? withLineFeed(h.from) : std::string("From: \n");
    r += h.hasDate ? withLineFeed(h.date) : std::string("Date: \n");
    r += h.hasMessageId ? withLineFeed(h.messageId) : std::string("Message-ID: <0>\n");
    r += h.hasSubject ? withLineFeed(h.subject) : std::string("Subject: Wasn't one for this message\n");
    r += h.hasCc ? withLineFeed(h.cc) : std::string("NO CC\n");
    return r;
}

class JobImport {
public:
    JobImport(const MailImportArgs& args, const std::string& jobName)
        : args_(args), jobName_(jobName) {}
    bool run();

private:
    bool openDataFile(const JobFile& job, StdioFile& data, std::string& dataPath);
    bool store(StdioFile& data, StdioFile& index, StdioFile& area, const std::string& recipientLine,
               const std::string& dataPath, const std::string& areaPath);

    const MailImportArgs& args_;
    const std::string& jobName_;
    PreLog log_;
    std::string jobPath_;
};

bool JobImport::openDataFile(const JobFile& job, StdioFile& data, std::string& dataPath)
{
    std::string shortName;
    std::string shortPath;
    if (shortenSpoolName(job.spoolName, args_.systemName1, args_.systemName2, shortName)) {
        if (appendName(args_.inboundFolder, shortName, kInboundPathWidth, shortPath) &&
            data.open(shortPath, "rb")) {
            dataPath = shortPath;
            return true;
        }
        if (shortPath.empty())
            shortPath = args_.inboundFolder + shortName;
    } else {
        log_.write(0, "1\treturn value %d %s\n", 0, "");
        shortPath = args_.inboundFolder;
    }
    // The alternative name: the job file's path with its last character
    // replaced by "D" (ABC.x gives ABC.D).
    std::string alternative = jobPath_;
    alternative.back() = 'D';
    if (data.open(alternative, "rb")) {
        dataPath = alternative;
        return true;
    }
    log_.write(0, "0\tCannot open (%s)\n", shortPath.c_str());
    log_.write(0, "0\tCannot open (%s)\n", shortPath.c_str());
    return false;
}

bool JobImport::run()
{
    std::string path;
    if (!appendName(args_.workFolder, "mailin.log", kMailWorkPathWidth, path) ||
        !log_.open(path, args_.logLevel))
        return false;
    log_.write(5, "5\tlooking for %s \n", jobName_.c_str());
    jobPath_ = args_.inboundFolder + jobName_;
    log_.write(4, "4\tprocessing %s\n", jobPath_.c_str());

    StdioFile jobFile;
    if (!fitsWidth(jobPath_.size(), kInboundPathWidth) || !jobFile.open(jobPath_, "r")) {
        log_.write(0, "Cannot open file.(%s)\n", jobPath_.c_str());
        return false;
    }
    JobFile job = readJobFile(jobFile.get(), JobLetters::kAnyCase);
    log_.write(5, "5\tFound end of file\n");

    if (strncasecmp(job.commandLine.c_str(), "C rmail", 7) != 0) {
        log_.write(5, "5\tNot a mail file.\n");
        return false;
    }
    std::string recipientLine = "To:" + job.commandLine.substr(7);
    if (recipientLine.find('@') == std::string::npos)
        log_.write(0, "1\tDid not find a valid ID, no @ in address - Result %s.\n",
                   recipientLine.c_str());

    StdioFile data;
    std::string dataPath;
    if (!openDataFile(job, data, dataPath))
        return false;

    // Open both store files while the job can still be retried.
    std::string indexPath, areaPath;
    StdioFile index, area;
    bool indexFits = appendName(args_.workFolder, kMailIndexName, kMailWorkPathWidth, indexPath);
    if (!indexFits || !index.open(indexPath, "a")) {
        log_.write(0, "0\tCannot open file (%s)\n",
                   indexFits ? indexPath.c_str() : (args_.workFolder + kMailIndexName).c_str());
        return false;
    }
    bool areaFits = appendName(args_.workFolder, kMailAreaName, kMailWorkPathWidth, areaPath);
    if (!areaFits || !area.open(areaPath, "ab")) {
        log_.write(0, "0\tCannot open mailarea.txt file (%s)\n",
                   areaFits ? areaPath.c_str() : (args_.workFolder + kMailAreaName).c_str());
        return false;
    }

    log_.write(5, "5\tDeleting %s\n", jobPath_.c_str());
    jobFile.close();
    std::remove(jobPath_.c_str());

    return store(data, index, area, recipientLine, dataPath, areaPath);
}

bool JobImport::store(StdioFile& data, StdioFile& index, StdioFile& area,
                      const std::string& recipientLine, const std::string& dataPath,
                      const std::string& areaPath)
{
    MailHeaders headers = scanMailHeaders(data.get());
    std::string record = recordHead(recipientLine, headers);
    log_.write(0, "1\tUUCP->Received Msg %s", recipientLine.c_str());
    log_.writeBare(0, "1\t\t\tUUCP-> %s", headers.hasFrom ? headers.from.c_str() : "");
    log_.flush();

    long start = fileSize(area.get());
    if (start < 1) {
        start = 1;
        log_.write(0, "0\tmailarea.txt file is not there or 0 length\n");
    }
    long before = fileSize(area.get());
    if (!copyWhole(data.get(), area.get())) {
        // Take back what reached the area, keep the data file: the message is
        // not lost, only not imported.
        truncateFile(area.get(), before);
        log_.write(0, "0\tCannot open mailarea.txt file (%s)\n", areaPath.c_str());
        return false;
    }
    long end = fileSize(area.get());
    if (end < 1) {
        end = 1;
        log_.write(0, "mailarea.txt file is not there or 0 length\n");
    }
    char offsets[48];
    std::snprintf(offsets, sizeof offsets, "%ld\n%ld\n", start, end);
    record += offsets;
    if (!writeAll(index.get(), record.data(), record.size())) {
        truncateFile(area.get(), before);
        log_.write(0, "0\tCannot open file (%s)\n", (args_.workFolder + kMailIndexName).c_str());
        return false;
    }
    index.close();
    area.close();
    data.close();
    log_.write(5, "5\tDeleting %s\n", dataPath.c_str());
    std::remove(dataPath.c_str());
    return true;
}

}  // namespace

int importMail(const MailImportArgs& args)
{
    std::string logPath;
    PreLog log;
    if (!appendName(args.workFolder, "mail.log", kMailWorkPathWidth, logPath) ||
        !log.open(logPath, args.logLevel))
        return -1;
    std::string pattern = args.inboundFolder + "*.x";
    log.write(5, "Looking for %s\n", pattern.c_str());
    if (!fitsWidth(pattern.size(), kInboundPathWidth)) {
        log.write(3, "No inbound mail found\n");
        return -1;
    }
    FileListing listing(pattern);
    const char* name = listing.next(FileListing::kFilesOnly);
    if (!name) {
        log.write(3, "No inbound mail found\n");
        return -1;
    }
    log.write(3, "Inbound mail found\n");
    log.close();

    for (; name; name = listing.next(FileListing::kFilesOnly)) {
        std::string jobName = name;
        JobImport import(args, jobName);
        if (import.run())
            return 0;
    }
    return -1;
}

}  // namespace tarn
