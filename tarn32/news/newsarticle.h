// The header of one article of a plain news batch: read line by line from
// the article's first byte up to the first line that begins with a line
// feed, or the end of the batch. Keeps the last occurrence of each header
// line that the news index records (names matched at the start of the line
// without regard to case), and counts the bytes read so that the caller can
// tell where the article ends. Lines are read with at most 499 characters; a
// longer line is read as several. No Win32.
#pragma once

#include "batchreader.h"

#include <string>
#include <vector>

namespace tarn {

struct ArticleHeaders {
    std::string from, date, messageId, subject, references, lines;
    // Every "Newsgroups: " line in order (each kept 299 characters); the
    // placement is made for each, and the last one decides.
    std::vector<std::string> newsgroups;
    long bytesRead = 0;  // all lines read, the empty line included
};

ArticleHeaders scanArticleHeaders(BatchReader& batch);

// Lines 1 to 7 of the article's record in "Header.Msg" (see newsfiles.h).
std::string newsRecordHead(long area, const ArticleHeaders& h);

}  // namespace tarn
