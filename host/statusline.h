// The one changing line of a running transfer. On a console it is redrawn
// in place ("\r"); into a file or a pipe (AUTO's tarnwick.log, a redirect)
// it becomes plain lines, one when asked for and otherwise at most one per
// interval, so a log never holds carriage returns.
#pragma once

#include <string>

// Whether standard output is a console (not a file, pipe or device).
bool stdoutIsConsole();

// Gives standard output a buffer of its own when it is not a console. The C
// library treats a character device such as NUL like a console and writes
// every formatted character with a system call of its own; with the buffer a
// line costs one write. Output that must be seen at once is flushed where
// it is printed, and error lines flush standard output first (report.h), so
// the order of the two streams is kept.
void bufferRedirectedOutput();

class StatusLine {
public:
    // intervalMs: the least time between two plain lines that were not
    // asked for (not on a console).
    explicit StatusLine(unsigned intervalMs = 10000);
    ~StatusLine() { end(); }

    // Shows text as the current state; now: also as a plain line at once.
    void show(const std::string& text, bool now = false);
    // A line of its own above the changing one.
    void line(const std::string& text);
    // Leaves the changing line as it is and goes to the next line.
    void end();

private:
    bool console_;
    unsigned intervalMs_;
    unsigned long lastPlain_ = 0;
    unsigned long lastDrawn_ = 0;
    std::size_t shownWidth_ = 0;  // characters of the line on the console
};
