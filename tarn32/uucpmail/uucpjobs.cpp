#include "uucpjobs.h"

#include "frame/findfiles.h"
#include "frame/paths.h"
#include "frame/prelog.h"
#include "frame/stdiofile.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace tarn {

Counter readCounter(const std::string& path)
{
    Counter c;
    StdioFile f;
    if (!f.open(path, "rb"))
        return c;
    unsigned char b[kCounterSize];
    if (std::fread(b, 1, kCounterSize, f.get()) != kCounterSize) {
        c.state = CounterState::kShort;
        return c;
    }
    c.state = CounterState::kRead;
    c.stored = static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) |
                                         static_cast<std::uint32_t>(b[1]) << 8 |
                                         static_cast<std::uint32_t>(b[2]) << 16 |
                                         static_cast<std::uint32_t>(b[3]) << 24);
    return c;
}

int numberAfter(const Counter& counter)
{
    if (counter.state != CounterState::kRead)
        return kFirstJobNumber;
    // A stored number below 1 can only come from a damaged file; it would
    // give a job number outside 0001 to 9999.
    if (counter.stored >= kLastJobNumber || counter.stored < 1)
        return kFirstJobNumber;
    return counter.stored + 1;
}

bool writeCounter(const std::string& path, int number)
{
    StdioFile f;
    if (!f.open(path, "wb"))
        return false;
    std::uint32_t v = static_cast<std::uint32_t>(number);
    unsigned char b[kCounterSize] = {
        static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    bool ok = std::fwrite(b, 1, kCounterSize, f.get()) == kCounterSize;
    return f.close() && ok;
}

namespace {

// The job number of a name "NNNN.CMD", "NNNN.XQT" or "NNNN.DAT" (any letter
// case), or 0 for any other name.
int jobNumberOf(const char* name)
{
    if (std::strlen(name) != 8 || name[4] != '.')
        return 0;
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    const char* ext = name + 5;
    if (strcasecmp(ext, "CMD") != 0 && strcasecmp(ext, "XQT") != 0 && strcasecmp(ext, "DAT") != 0)
        return 0;
    return n;
}

}  // namespace

TakenNumbers takenJobNumbers(const std::string& outboundFolder)
{
    TakenNumbers taken;
    FileListing listing(outboundFolder + "*");
    while (const char* name = listing.next(FileListing::kFilesAndFolders)) {
        int n = jobNumberOf(name);
        if (n >= kFirstJobNumber && n <= kLastJobNumber)
            taken.set(n);
    }
    return taken;
}

int firstFreeNumber(int from, const TakenNumbers& taken)
{
    if (from < kFirstJobNumber || from > kLastJobNumber)
        from = kFirstJobNumber;
    int n = from;
    for (int tries = 0; tries < kLastJobNumber; ++tries) {
        if (!taken.test(n))
            return n;
        n = n == kLastJobNumber ? kFirstJobNumber : n + 1;
    }
    return 0;
}

std::string jobFileName(int number, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "%04d.%s", number, extension);
    return name;
}

std::string commandFileText(const JobKind& kind, int number, const std::string& systemName)
{
    char n[16];
    std::snprintf(n, sizeof n, "%04d", number);
    std::string user = kind.sendUser;
    return std::string("S ") + n + ".DAT D." + systemName + n + " " + user + " - " + n +
           ".DAT 0666\r\n" + "S " + n + ".XQT X." + systemName + n + " " + user + " - " + n +
           ".XQT 0666\r\n";
}

std::string executeFileText(const JobKind& kind, int number, const std::string& systemName,
                            const std::string& command)
{
    char n[16];
    std::snprintf(n, sizeof n, "%04d", number);
    return std::string("U ") + kind.executeUser + " " + systemName + "\nZ\n" + "F D." + systemName +
           n + "\n" + "I D." + systemName + n + "\n" + "C " + command + "\n";
}

bool fitsOnJobLine(const std::string& text)
{
    return text.find_first_of("\r\n") == std::string::npos;
}

namespace {

// Creates `path` anew and writes `bytes`; false (and nothing left behind)
// when it cannot be created or written.
bool writeNewFile(const std::string& path, const std::string& bytes)
{
    StdioFile f;
    if (!f.open(path, "wb"))
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    ok = f.close() && ok;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

}  // namespace

JobFileError writeJobFiles(const std::string& outboundFolder, std::size_t pathWidth,
                           const JobKind& kind, int number, const std::string& systemName,
                           const std::string& command)
{
    std::string cmdPath, xqtPath;
    if (!appendName(outboundFolder, jobFileName(number, "CMD"), pathWidth, cmdPath) ||
        !writeNewFile(cmdPath, commandFileText(kind, number, systemName)))
        return JobFileError::kCommandFile;
    if (!appendName(outboundFolder, jobFileName(number, "XQT"), pathWidth, xqtPath) ||
        !writeNewFile(xqtPath, executeFileText(kind, number, systemName, command))) {
        std::remove(cmdPath.c_str());
        return JobFileError::kExecuteFile;
    }
    return JobFileError::kNone;
}

int queueJob(const JobRequest& request, PreLog& log)
{
    std::string counterPath, dataPath;
    if (!appendName(request.workFolder, kCounterName, request.pathWidth, counterPath))
        return -1;

    Counter counter = readCounter(counterPath);
    if (counter.state != CounterState::kRead)
        log.write(0, "%s", request.counterUnreadableText);

    int number = firstFreeNumber(numberAfter(counter), takenJobNumbers(request.outboundFolder));
    if (number == 0) {
        log.write(0, "No free job number in %s\n", request.outboundFolder.c_str());
        return -1;
    }
    if (!appendName(request.outboundFolder, jobFileName(number, "DAT"), request.pathWidth,
                    dataPath)) {
        log.write(0, "Cannot open .cmd\n");
        return -1;
    }

    switch (writeJobFiles(request.outboundFolder, request.pathWidth, request.kind, number,
                          request.systemName, request.command)) {
    case JobFileError::kCommandFile:
        log.write(0, "Cannot open .cmd\n");
        log.flush();
        return -1;
    case JobFileError::kExecuteFile:
        log.write(0, "Cannot open .xqt\n");
        log.flush();
        return -1;
    case JobFileError::kNone:
        break;
    }

    if (!request.placeData(dataPath)) {
        // The number was free, so whatever lies under these names now is this
        // call's own.
        std::remove(dataPath.c_str());
        std::remove((request.outboundFolder + jobFileName(number, "XQT")).c_str());
        std::remove((request.outboundFolder + jobFileName(number, "CMD")).c_str());
        log.flush();
        return -1;
    }

    if (!writeCounter(counterPath, number)) {
        // The job is queued all the same; the next export counts on from the
        // old number and steps over this job's files.
        log.write(0, "%s", request.counterUnwritableText);
        log.flush();
    }
    return number;
}

}  // namespace tarn
