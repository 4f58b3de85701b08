// Reading the news header index "Header.Msg" the way the host does: nine
// text lines per stored article, the last two its offsets in its area file.
#pragma once

#include <string>
#include <vector>

struct NewsRecord {
    long area = 0;
    std::string from, date, messageId, subject, references, lines;  // line ends removed
    long start = 0, end = 0;
};

// All complete records of the file; none when it is missing.
std::vector<NewsRecord> readNewsIndex(const std::string& path);
