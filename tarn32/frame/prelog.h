// The pre-processor logs: "mail.log", "mailin.log" and "news.log".
//
// A log is opened for appending in text mode when an operation starts and
// closed when it ends. Each message gets the timestamp prefix
// "%4d-%02d-%02d %02d:%02d:%02d.%02d\t" (the last field is milliseconds,
// printed with at least two digits), written by itself just before the text.
// A message with a threshold is written only when the caller's log level is
// at least that threshold; threshold 0 means "always".
#pragma once

#include <cstdio>
#include <string>

namespace tarn {

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};

// The platform's local time with milliseconds.
LocalTime localTimeNow();

// Formats the prefix into `out`, which holds at least 40 bytes.
void formatLogPrefix(const LocalTime& t, char* out, std::size_t size);

class PreLog {
public:
    PreLog() = default;
    PreLog(const PreLog&) = delete;
    PreLog& operator=(const PreLog&) = delete;
    ~PreLog() { close(); }

    // Opens `path` for appending in text mode; false when it cannot be opened.
    bool open(const std::string& path, int logLevel);
    bool isOpen() const { return file_ != nullptr; }
    void close();

    // Writes prefix and message when logLevel >= threshold.
    void write(int threshold, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Writes the message alone, without a prefix (continuation lines).
    void writeBare(int threshold, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void flush();

private:
    std::FILE* file_ = nullptr;
    int level_ = 0;
};

}  // namespace tarn
