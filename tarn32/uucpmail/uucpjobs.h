// Outgoing UUCP jobs: the numbered job files of the outbound folder and the
// sequence counter "export.dat" that numbers them. Mail export and news
// export both queue their jobs through this module; each keeps its own log
// texts and its own way of making the data file.
//
// Sequence counter "export.dat" (work folder), binary, exactly 4 bytes:
//   0  4  the last job number used, signed 32-bit, least significant byte
//         first. Rewritten whole after each job.
// The next number after a stored N is N + 1, and 1 when the file is missing,
// shorter than 4 bytes, or N is 9999 or more (or below 1). Numbers run 1 to
// 9999 and then start again at 1.
//
// Job files (outbound folder), written in binary mode, NNNN the job number
// with four digits ("%04d"), SYS the remote system's name:
//   NNNN.CMD  command file for the transfer program, two lines ending in CR LF:
//               "S NNNN.DAT D.SYSNNNN USER - NNNN.DAT 0666\r\n"
//               "S NNNN.XQT X.SYSNNNN USER - NNNN.XQT 0666\r\n"
//             USER is "daemon" for mail, "news" for news.
//   NNNN.XQT  execute file for the remote system, five lines ending in LF:
//               "U RUSER SYS\n" "Z\n" "F D.SYSNNNN\n" "I D.SYSNNNN\n" "C COMMAND\n"
//             RUSER is "Daemon" for mail, "news" for news; COMMAND is
//             "rmail " + recipients for mail, "rnews" for news.
//   NNNN.DAT  data file: the message or the news batch.
//
// A number is free only when none of NNNN.CMD, NNNN.XQT and NNNN.DAT is in
// the outbound folder (files or folders, any letter case). A job takes the
// first free number counting on from the counter, wrapping after 9999, so a
// job still waiting to be sent is never overwritten; when all 9999 are taken
// the export fails and touches nothing.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>

namespace tarn {

class PreLog;

constexpr int kFirstJobNumber = 1;
constexpr int kLastJobNumber = 9999;
constexpr const char* kCounterName = "export.dat";
constexpr std::size_t kCounterSize = 4;

// --- Sequence counter -------------------------------------------------------

enum class CounterState {
    kRead,     // four bytes were read into `stored`
    kMissing,  // the file cannot be opened for reading
    kShort,    // the file holds fewer than four bytes
};

struct Counter {
    CounterState state = CounterState::kMissing;
    std::int32_t stored = 0;  // meaningful only when state is kRead
};

// Reads the counter file at `path`.
Counter readCounter(const std::string& path);

// The number that follows the counter: 1 to 9999.
int numberAfter(const Counter& counter);

// Rewrites the counter file at `path` whole with `number`. False when it
// cannot be opened or written.
bool writeCounter(const std::string& path, int number);

// --- Job numbers in the outbound folder ------------------------------------

using TakenNumbers = std::bitset<kLastJobNumber + 1>;  // index = job number

// The numbers for which one of NNNN.CMD, NNNN.XQT or NNNN.DAT exists in the
// folder (`outboundFolder` ends with its backslash).
TakenNumbers takenJobNumbers(const std::string& outboundFolder);

// The first number from `from` on (wrapping after 9999 to 1) that is not
// taken; 0 when all 9999 are.
int firstFreeNumber(int from, const TakenNumbers& taken);

// --- Job file texts ---------------------------------------------------------

// "0042.CMD" for (42, "CMD").
std::string jobFileName(int number, const char* extension);

struct JobKind {
    const char* sendUser;     // user field of the command file: "daemon", "news"
    const char* executeUser;  // user of the execute file's U line: "Daemon", "news"
};
constexpr JobKind kMailJob{"daemon", "Daemon"};
constexpr JobKind kNewsJob{"news", "news"};

// The exact bytes of NNNN.CMD.
std::string commandFileText(const JobKind& kind, int number, const std::string& systemName);
// The exact bytes of NNNN.XQT; `command` is the text after "C " on the last
// line, without its line feed ("rmail " + recipients, "rnews").
std::string executeFileText(const JobKind& kind, int number, const std::string& systemName,
                            const std::string& command);

// True when the text can stand inside one line of a job file (no CR, no LF).
bool fitsOnJobLine(const std::string& text);

// --- Queueing a job ---------------------------------------------------------

enum class JobFileError { kNone, kCommandFile, kExecuteFile };

// Writes NNNN.CMD and NNNN.XQT (an existing file is emptied). On failure
// nothing this call created is left behind.
JobFileError writeJobFiles(const std::string& outboundFolder, std::size_t pathWidth,
                           const JobKind& kind, int number, const std::string& systemName,
                           const std::string& command);

struct JobRequest {
    std::string outboundFolder;  // ends with its backslash
    std::string workFolder;      // ends with its backslash
    std::size_t pathWidth = 0;   // width of folder + file name (the export's limit)
    JobKind kind = kMailJob;
    std::string systemName;
    std::string command;         // execute file's command, see executeFileText

    // Log texts that differ between mail and news (written always).
    const char* counterUnreadableText = nullptr;  // "Cannot open export.dat (mail)\n"
    const char* counterUnwritableText = nullptr;  // "Cannot open export.dat to write (mail)\n"

    // Makes the data file at the given path (which does not exist yet) and
    // logs what the export logs at that point. False when it could not; the
    // job is then taken back: the data file, if one was made, is removed too.
    std::function<bool(const std::string& dataPath)> placeData;
};

// Queues one job: reads the counter, takes the first free number, writes the
// command and execute files, has the data file made, then stores the number
// in the counter. Logs to `log` (always-written messages):
//   counter unreadable or short   request.counterUnreadableText, goes on with 1
//   no free number                "No free job number in %s\n" (outbound folder)
//   command file not created      "Cannot open .cmd\n"
//   execute file not created      "Cannot open .xqt\n"
//   counter not written           request.counterUnwritableText (the job stays)
// Returns the job number (1 to 9999), or -1 when no job was queued; then the
// outbound folder holds no file of this call and the counter is unchanged.
int queueJob(const JobRequest& request, PreLog& log);

}  // namespace tarn
