// The session log's line format (logger.h), free of the platform: the
// Windows logger and the native build write their lines with it.
#include "logger.h"

#include <cstdio>
#include <cstring>

namespace net {

std::string formatSessionTimestamp(const SessionTime& t)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%2.2d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second, t.millisecond / 10);
    return buf;
}

std::string formatSessionLine(const SessionTime& t, int level, const char* text)
{
    std::string stamp = formatSessionTimestamp(t);
    char levelText[16];
    std::snprintf(levelText, sizeof levelText, "%d", level);
    std::string line;
    line.reserve(stamp.size() + std::strlen(text) + 16);
    line += stamp;
    line += '\t';
    line += levelText;
    line += '\t';
    line += text;
    line += '\n';
    return line;
}

}  // namespace net
