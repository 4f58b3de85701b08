// The header scan of mail import: reads a message from its start, line by
// line, up to the first empty line (a line feed alone) or the end of the
// file, and keeps the last occurrence of the five header lines the mail
// index records. Names are matched at the start of the line without regard
// to case; only the first physical line of a folded header is kept, whole
// (name, value and line end as read), cut to its kept size. No Win32.
#pragma once

#include <cstdio>
#include <string>

namespace tarn {

struct MailHeaders {
    std::string from;       // "From: " line, kept 199 characters
    std::string date;       // "Date: " line, kept 99
    std::string messageId;  // line beginning "Message-Id", kept 199
    std::string subject;    // "Subject: " line, kept 199
    std::string cc;         // "Cc: " line, kept 2047
    bool hasFrom = false, hasDate = false, hasMessageId = false, hasSubject = false, hasCc = false;
};

// Header lines are read up to and including their line feed, at most 2000
// characters; a longer line is taken as several lines.
constexpr int kHeaderLineLength = 2000;

MailHeaders scanMailHeaders(std::FILE* file);

}  // namespace tarn
