// Where an SMTP reply ends, for the SMTP and ETRN sessions. A reply is one
// or more lines, each ending in CR LF; every line but the last carries a
// hyphen right after its three-character code ("250-SIZE 100"), the last a
// blank or nothing ("250 ok", "250"), as RFC 5321 4.2 has it. A reply may
// reach the client in any number of receives, cut anywhere, so a receive
// that holds a line end is not yet a reply. This header only decides where
// a reply ends; what the code means is each session's business.
#pragma once

#include <cstddef>
#include <string>

namespace net {

// True when the line (its text before the CR LF) ends a reply: its code
// is followed by a blank or by the line end. A continuation line has a
// hyphen there; a line with anything else (or too short for a code) is a
// broken server's and ends nothing, so the session waits on for the last
// line, bounded by its receive wait and by kReplyLimit.
inline bool isLastReplyLine(const std::string& text, std::size_t begin, std::size_t end)
{
    return end >= begin + 3 && (end == begin + 3 || text[begin + 3] == ' ');
}

inline bool isLastReplyLine(const std::string& line)
{
    return isLastReplyLine(line, 0, line.size());
}

// True when text holds a whole reply: its last complete line (the one
// before its last CR LF) ends a reply. Bytes after that CR LF do not count:
// they belong to a line still on its way.
inline bool holdsWholeReply(const std::string& text)
{
    std::size_t end = text.rfind("\r\n");
    if (end == std::string::npos)
        return false;
    std::size_t begin = end == 0 ? std::string::npos : text.rfind("\r\n", end - 1);
    begin = begin == std::string::npos ? 0 : begin + 2;
    return isLastReplyLine(text, begin, end);
}

}  // namespace net
