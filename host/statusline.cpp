#include "statusline.h"

#include <windows.h>

#include <io.h>

#include <cstdio>

bool stdoutIsConsole()
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout)));
    DWORD mode;
    return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR &&
           GetConsoleMode(h, &mode);
}

void bufferRedirectedOutput()
{
    if (!stdoutIsConsole())
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

StatusLine::StatusLine(unsigned intervalMs)
    : console_(stdoutIsConsole()), intervalMs_(intervalMs), lastPlain_(GetTickCount())
{
}

void StatusLine::show(const std::string& text, bool now)
{
    if (console_) {
        // A redraw at most every 100 ms: a fast transfer is not slowed by
        // its own display.
        if (!now && GetTickCount() - lastDrawn_ < 100)
            return;
        lastDrawn_ = GetTickCount();
        // Cut to the console's 80 columns; blanks wipe a longer old line.
        std::string t = text.size() > 79 ? text.substr(0, 78) + "~" : text;
        std::size_t pad = shownWidth_ > t.size() ? shownWidth_ - t.size() : 0;
        std::printf("\r%s%s", t.c_str(), std::string(pad, ' ').c_str());
        shownWidth_ = t.size();
    } else if (now || GetTickCount() - lastPlain_ >= intervalMs_) {
        std::printf("%s\n", text.c_str());
        lastPlain_ = GetTickCount();
    }
    std::fflush(stdout);
}

void StatusLine::line(const std::string& text)
{
    end();
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void StatusLine::end()
{
    if (console_ && shownWidth_ > 0) {
        std::printf("\n");
        std::fflush(stdout);
    }
    shownWidth_ = 0;
}
