// Figures for a transfer in progress, as a person reads them: "1.2 MB of
// 4.0 MB, 350 KB/s, 8 s left". No Win32 here; the caller measures.
#pragma once

#include <string>

// 999 B, 12.3 KB, 4.0 MB, 1.1 GB (1 KB = 1024 bytes).
std::string formatBytes(long long bytes);

// A duration for "left": "8 s", "2 min 5 s", "1 h 3 min".
std::string formatDuration(double seconds);

// "done[ of total][, rate/s][, T left]": total when known (>= 0), the rate
// once a measurable time has passed, the time left when both are known.
std::string transferText(long long done, long long total, double seconds);

// Time left for the remaining items from the average of those finished; a
// negative result when nothing is finished yet.
double secondsLeft(int finished, int total, double seconds);
