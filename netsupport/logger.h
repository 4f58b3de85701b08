// The session log of a network library: one text file, named by the host at
// init, to which the export thread and the worker thread append lines.
//
// Line: "%s\t%d\t%s\n" with the timestamp, the level and the text, written in
// text mode, so each line ends in CR LF in the file. The timestamp is
// "%04d-%02d-%02d %02d:%02d:%02d.%2.2d" (the last field hundredths of a
// second), 22 characters, from one reading of the local clock.
//
// The file is opened (mode "a+") and closed again for every line, under the
// logger's own lock, so the host may read, move or delete it between lines
// and lines of two threads never interleave. Lines whose level is above the
// stored level cost one comparison and take no lock.
//
// Left to callers: removing the CR LF of protocol lines before logging them.
#pragma once

#include <cstdio>
#include <string>

namespace net {

// One reading of the local clock, as the timestamp uses it.
struct SessionTime {
    int year;         // four digits
    int month;        // 1 to 12
    int day;          // 1 to 31
    int hour;         // 0 to 23
    int minute;
    int second;
    int millisecond;  // 0 to 999; the timestamp shows millisecond / 10
};

// The local clock now.
SessionTime sessionTimeNow();

// "1999-01-02 08:05:09.04" for 2 January 1999, 08:05:09 and 40 ms.
std::string formatSessionTimestamp(const SessionTime& t);

// The whole line, "\n" at its end (text mode turns it into CR LF). Any text
// length: the line is never cut.
std::string formatSessionLine(const SessionTime& t, int level, const char* text);

class logger {
public:
    // Widths of the design: the file name holds at most 199 characters.
    static constexpr std::size_t kFileNameSize = 200;

    logger();  // file none, lock created
    virtual ~logger();
    logger(const logger&) = delete;
    logger& operator=(const logger&) = delete;

    // Copies the path of the log file. Limit: a path of 200 characters or
    // more is refused and leaves no file name, so its lines are dropped
    // rather than written to a cut-off path.
    void setFile(const char* path);
    // Highest level written: 0 or below writes nothing, 9 everything.
    void setLevel(int level);
    int level() const { return level_; }

    // Appends one line when level <= the stored level. Never reports a
    // failure: a file that cannot be opened loses the line, nothing more.
    // Long texts (a long server reply at level 9) are written whole.
    void write(const char* text, int level);
    void write(const std::string& text, int level) { write(text.c_str(), level); }

    // Closes the file if a write left it open; the file is none afterwards.
    void close();

private:
    void* lock_;                     // CRITICAL_SECTION, created with the object
    int level_ = 0;                  // set by the init export before the first line
    char fileName_[kFileNameSize];   // guarded by lock_ while write runs
    std::FILE* file_ = nullptr;      // open only inside write, under lock_
};

}  // namespace net
