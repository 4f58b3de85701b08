#include "newsimport.h"

#include "batchreader.h"
#include "frame/filecopy.h"
#include "frame/findfiles.h"
#include "frame/paths.h"
#include "frame/prelog.h"
#include "frame/stdiofile.h"
#include "newsarticle.h"
#include "newsfiles.h"
#include "newsgroups.h"
#include "store/areafile.h"
#include "uucpmail/jobfile.h"
#include "uucpmail/spoolname.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <algorithm>
#include <vector>

namespace tarn {

namespace {

constexpr int kJobLineWidth = 200;       // 199 characters and the NUL
constexpr std::size_t kNewsCommandSize = 20;
constexpr int kMarkLineWidth = 40;       // "#! rnews " lines: 39 characters
constexpr std::size_t kOpenAreaFiles = 64;  // area files kept open at once during a batch

// Removes a file; a missing one is fine. False only when it is there and
// cannot be removed.
bool removeIfThere(const std::string& path)
{
    if (std::remove(path.c_str()) == 0)
        return true;
    return errno == ENOENT;
}

bool canOpen(const std::string& path)
{
    StdioFile f;
    return f.open(path, "rb");
}

// Copies at most `count` bytes from the current position of `from` to the
// end of `to`. Returns the number copied, -1 on a write error.
long copyBytes(std::FILE* from, std::FILE* to, long count)
{
    std::vector<char> block(64 * 1024);
    long copied = 0;
    while (copied < count) {
        std::size_t want = static_cast<std::size_t>(
            std::min<long>(count - copied, static_cast<long>(block.size())));
        std::size_t n = std::fread(block.data(), 1, want, from);
        if (n == 0)
            break;
        if (std::fwrite(block.data(), 1, n, to) != n)
            return -1;
        copied += static_cast<long>(n);
    }
    return copied;
}

// The size on a "#! rnews " line; false when it is not a number or negative.
bool articleSize(const char* line, long& size)
{
    const char* digits = line + 9;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(digits, &end, 10);
    if (end == digits || errno == ERANGE || v < 0)
        return false;
    size = v;
    return true;
}

class NewsJob {
public:
    NewsJob(const NewsImportArgs& args, const std::string& jobName)
        : args_(args), jobName_(jobName) {}
    int run();

private:
    int compressedBatch(StdioFile& job);
    int plainBatch(StdioFile& job);
    int makeSplitFile(bool compressed);
    struct Store;
    int articleLoop();
    int storeArticle(BatchReader& batch, Store& store, long size, long area,
                     const ArticleHeaders& headers);
    bool areaTableThere();
    bool deleteJob(StdioFile& job);
    std::string inboundFile(const char* name) const { return args_.inboundFolder + name; }

    const NewsImportArgs& args_;
    const std::string& jobName_;
    PreLog log_;
    std::string jobPath_, dataPath_, indexPath_, tablePath_;
};

bool NewsJob::areaTableThere()
{
    if (canOpen(tablePath_))
        return true;
    log_.writeBare(0, "Cannot open area file.\n");
    return false;
}

bool NewsJob::deleteJob(StdioFile& job)
{
    job.close();
    return std::remove(jobPath_.c_str()) == 0;
}

int NewsJob::run()
{
    std::string logPath;
    if (!appendName(args_.workFolder, kNewsLogName, kNewsPathWidth, logPath) ||
        !log_.open(logPath, args_.logLevel))
        return -1;
    log_.write(0, "News import started \n");
    log_.write(3, "looking for %s \n", jobName_.c_str());

    jobPath_ = args_.inboundFolder + jobName_;
    StdioFile job;
    if (!fitsWidth(jobPath_.size(), kInboundPathWidth) || !job.open(jobPath_, "r")) {
        log_.write(0, "Cannot open %s\n", jobPath_.c_str());
        return -1;
    }
    if (!appendName(args_.inboundFolder, kNewsIndexName, kNewsIndexPathWidth, indexPath_) ||
        !appendName(args_.workFolder, kAreaTableName, kNewsPathWidth, tablePath_) ||
        !fitsWidth(args_.inboundFolder.size() + std::strlen(kBatchSplitName), kNewsPathWidth)) {
        log_.write(0, "Cannot open %s\n", jobPath_.c_str());
        return -1;
    }
    if (!removeIfThere(indexPath_)) {
        log_.write(0, "access denied\n");
        return -1;
    }
    log_.flush();

    JobFile jobFile = readJobFile(job.get(), JobLetters::kUpperOnly, kJobLineWidth);
    std::string command = jobFile.commandLine.substr(0, kNewsCommandSize - 1);
    if (strncasecmp(command.c_str(), "C rnews", 7) != 0) {
        log_.write(3, "Not a news file.\n");
        return 1;
    }
    std::string shortName;
    if (!shortenSpoolName(jobFile.spoolName, args_.systemName1, args_.systemName2, shortName)) {
        log_.write(0, "return value %d %s\n", 0, "");
        shortName.clear();
    }
    log_.write(3, "processing %s\n", shortName.c_str());
    dataPath_ = args_.inboundFolder + shortName;

    return args_.compressBits > 0 ? compressedBatch(job) : plainBatch(job);
}

int NewsJob::compressedBatch(StdioFile& job)
{
    StdioFile data;
    if (!fitsWidth(dataPath_.size(), kInboundPathWidth) || !data.open(dataPath_, "rb")) {
        log_.write(0, "Cannot open (%s)\n", dataPath_.c_str());
        return 1;
    }
    const std::string compressedPath = inboundFile(kBatchCompressedName);
    StdioFile compressed;
    if (!compressed.open(compressedPath, "wb")) {
        log_.write(0, "Cannot open output file 1st time.\n");
        return -1;
    }
    char mark[11];
    if (std::fread(mark, 1, sizeof mark, data.get()) != sizeof mark ||
        strncasecmp(mark, kCompressedMark, sizeof mark) != 0) {
        log_.write(3, "Not a news file.\n");
        return 1;
    }
    if (!areaTableThere())
        return 1;

    removeIfThere(indexPath_);
    deleteJob(job);
    log_.write(4, "file length = %ld.\n", fileSize(data.get()));
    if (std::fseek(data.get(), 12, SEEK_SET) != 0 ||
        copyBytes(data.get(), compressed.get(), LONG_MAX) < 0 || !compressed.close()) {
        log_.write(0, "Cannot open output file 1st time.\n");
        return -1;
    }
    data.close();

    const std::string workPath = inboundFile(kBatchWorkName);
    if (!removeIfThere(workPath)) {
        // The decompressor would leave the older batch in place, and it
        // would be read again.
        log_.write(0, "Cannot open input after decompress!\n");
        return -1;
    }
    removeIfThere(indexPath_);
    removeIfThere(inboundFile(kBatchSplitName));

    log_.write(3, "DeCompressing file with %ld Bits\n", args_.compressBits);
    char command[kNewsPathWidth + 32];
    std::snprintf(command, sizeof command, "wincomp.exe -d -b %ld %s", args_.compressBits,
                  workPath.c_str());
    if (!fitsWidth(std::strlen(command), kNewsPathWidth)) {
        log_.write(0, "unable to execute Winexec, %s\n", command);
        return -1;
    }
    log_.write(4, "executing %s\n", command);
    log_.flush();
    switch (runProgramAndWait(command, args_.programWaitMs)) {
    case ProgramRun::kCannotStart:
        log_.write(0, "unable to execute Winexec, %s\n", command);
        return -1;
    case ProgramRun::kTimedOut:
        // Whatever it wrote is incomplete.
        std::remove(workPath.c_str());
        break;
    case ProgramRun::kFinished:
        log_.write(3, "DeCompression complete\n");
        break;
    }
    return makeSplitFile(true);
}

int NewsJob::plainBatch(StdioFile& job)
{
    if (!areaTableThere())
        return 1;
    // The job goes only once its data is safely under the work name.
    const std::string workPath = inboundFile(kBatchWorkName);
    if (!fitsWidth(dataPath_.size(), kInboundPathWidth) || !canOpen(dataPath_) ||
        !removeIfThere(workPath) || std::rename(dataPath_.c_str(), workPath.c_str()) != 0) {
        log_.write(0, "Cannot find news data file (%s)\n", dataPath_.c_str());
        return 1;
    }
    deleteJob(job);
    return makeSplitFile(false);
}

int NewsJob::makeSplitFile(bool compressed)
{
    const std::string workPath = inboundFile(kBatchWorkName);
    const std::string copyPath = inboundFile(kBatchCopyName);
    const std::string splitPath = inboundFile(kBatchSplitName);
    StdioFile batch;
    if (!batch.open(workPath, "rb")) {
        if (compressed) {
            log_.write(0, "Cannot open input after decompress!\n");
            return -1;
        }
        log_.write(0, "Cannot find news data file (%s)\n", dataPath_.c_str());
        return 1;
    }
    StdioFile copy;
    if (!copy.open(copyPath, "wb")) {
        log_.write(0, "Cannot open output file 2nd time!\n");
        return -1;
    }
    if (!copyWhole(batch.get(), copy.get()) || !copy.close()) {
        copy.close();
        std::remove(copyPath.c_str());
        log_.write(0, "Cannot open output file 2nd time!\n");
        return -1;
    }
    batch.close();
    log_.close();
    if (compressed)
        std::remove(dataPath_.c_str());
    bool replaced = removeIfThere(splitPath) && std::rename(copyPath.c_str(), splitPath.c_str()) == 0;

    std::string logPath;
    appendName(args_.workFolder, kNewsLogName, kNewsPathWidth, logPath);
    if (!log_.open(logPath, args_.logLevel))
        return -1;
    if (!replaced) {
        // An older split file would be read instead of this batch.
        log_.write(0, "Cannot open .int file!\n");
        return -1;
    }
    return articleLoop();
}

// The store files of one batch stay open from the first article that needs
// them to the end of the call; each article is flushed to both before the
// next is read, so the files on disk are always whole records and articles.
struct NewsJob::Store {
    struct Area {
        StdioFile file;
        long size = 0;
    };
    AreaTable table;
    StdioFile index;
    std::map<long, Area> areas;
};

int NewsJob::articleLoop()
{
    StdioFile file;
    if (!file.open(inboundFile(kBatchSplitName), "rb")) {
        log_.write(0, "Cannot open .int file!\n");
        return -1;
    }
    BatchReader batch(file.get());
    Store store;
    std::string line;
    for (;;) {
        if (!batch.readLine(line, kMarkLineWidth - 1)) {
            log_.write(0, "Found end of file\n");
            return 0;
        }
        long size;
        if (strncasecmp(line.c_str(), kArticleMark, 9) != 0 || !articleSize(line.c_str(), size))
            continue;
        long start = batch.tell();
        ArticleHeaders headers = scanArticleHeaders(batch);
        if (size - headers.bytesRead < 0)
            continue;  // the header ran past the article: read on from here

        long area = 0;
        for (const std::string& groups : headers.newsgroups) {
            if (!store.table.loaded() && !store.table.load(tablePath_)) {
                log_.writeBare(0, "Cannot open area file.\n");
                return 1;
            }
            area = store.table.place(groups, log_);
        }
        if (area < 1) {
            log_.write(0, "Message could not be found an area :\n %s\n",
                       headers.newsgroups.empty() ? "" : headers.newsgroups.back().c_str());
            batch.seek(start > LONG_MAX - size ? LONG_MAX : start + size);
            continue;
        }
        batch.seek(start);
        int r = storeArticle(batch, store, size, area, headers);
        if (r != 0)
            return r;
    }
}

int NewsJob::storeArticle(BatchReader& batch, Store& store, long size, long area,
                          const ArticleHeaders& headers)
{
    auto it = store.areas.find(area);
    if (it == store.areas.end()) {
        if (store.areas.size() >= kOpenAreaFiles)
            store.areas.clear();
        std::string areaPath;
        Store::Area a;
        // The area file is opened before the record is written, so that no
        // record is left without its offsets.
        if (!appendName(args_.workFolder, numberedAreaName(area), kNewsPathWidth, areaPath) ||
            !a.file.open(areaPath, "ab")) {
            log_.write(0, "Cannot open area file!\n");
            return -1;
        }
        a.size = fileSize(a.file.get());
        it = store.areas.emplace(area, std::move(a)).first;
    }
    Store::Area& a = it->second;
    if (!store.index && !store.index.open(indexPath_, "a")) {
        log_.write(0, "Cannot open header file!\n");
        return -1;
    }
    long before = a.size;
    long copied = batch.copyTo(a.file.get(), size);
    if (copied < 0 || std::fflush(a.file.get()) != 0) {
        truncateFile(a.file.get(), before);
        log_.write(0, "Cannot open area file!\n");
        return -1;
    }
    a.size = before + copied;
    std::string record = newsRecordHead(area, headers);
    char offsets[48];
    std::snprintf(offsets, sizeof offsets, "%ld\n%ld\n", before < 1 ? 1L : before, a.size);
    record += offsets;
    if (!writeAll(store.index.get(), record.data(), record.size())) {
        truncateFile(a.file.get(), before);
        log_.write(0, "Cannot open header file!\n");
        return -1;
    }
    return 0;
}

}  // namespace

int importNews(const NewsImportArgs& args)
{
    std::string pattern = args.inboundFolder + "*.x";
    if (!fitsWidth(pattern.size(), kInboundPathWidth))
        return 1;
    FileListing listing(pattern);
    for (const char* name = listing.next(FileListing::kFilesOnly); name;
         name = listing.next(FileListing::kFilesOnly)) {
        std::string jobName = name;
        NewsJob job(args, jobName);
        int r = job.run();
        if (r != 1)
            return r;
    }
    return 1;
}

}  // namespace tarn
