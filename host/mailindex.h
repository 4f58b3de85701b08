// Reading the mail header index "mail.hdr" the way the host does: eight
// text lines per imported message, the last two its offsets in
// "mailarea.txt".
#pragma once

#include <string>
#include <vector>

struct MailRecord {
    std::string to, from, date, messageId, subject, cc;  // line ends removed
    long start = 0, end = 0;
};

// The records that begin at or after byte `fromOffset` of the file (opened in
// text mode, so the offset is one the file had when seen before).
std::vector<MailRecord> readMailIndex(const std::string& path, long fromOffset = 0);
