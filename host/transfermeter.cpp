#include "transfermeter.h"

#include <cstdio>

std::string formatBytes(long long bytes)
{
    char text[32];
    if (bytes < 1024)
        std::snprintf(text, sizeof text, "%lld B", bytes);
    else if (bytes < 1024LL * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", bytes / 1024.0);
    else if (bytes < 1024LL * 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", bytes / (1024.0 * 1024));
    else
        std::snprintf(text, sizeof text, "%.1f GB", bytes / (1024.0 * 1024 * 1024));
    return text;
}

std::string formatDuration(double seconds)
{
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s < 60)
        std::snprintf(text, sizeof text, "%ld s", s);
    else if (s < 3600)
        std::snprintf(text, sizeof text, "%ld min %ld s", s / 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld h %ld min", s / 3600, s % 3600 / 60);
    return text;
}

std::string transferText(long long done, long long total, double seconds)
{
    std::string text = formatBytes(done);
    if (total >= 0)
        text += " of " + formatBytes(total);
    if (seconds >= 0.2 && done > 0) {
        double rate = done / seconds;
        text += ", " + formatBytes(static_cast<long long>(rate)) + "/s";
        if (total >= done)
            text += ", " + formatDuration((total - done) / rate) + " left";
    }
    return text;
}

double secondsLeft(int finished, int total, double seconds)
{
    if (finished <= 0 || total < finished)
        return -1;
    return seconds / finished * (total - finished);
}
