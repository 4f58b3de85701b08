// The tables of imported records that import-mail and import-news print:
// at most 79 columns, so an 80-column console does not wrap them, with
// encoded header words decoded into the output's code page.
#pragma once

#include "mailindex.h"
#include "newsindex.h"

#include <vector>

// "#  To  From  Subject  start  end", one line per record.
void printMailRecords(const std::vector<MailRecord>& records);

// "area  From  Subject  start  end", one line per article, indented.
void printNewsRecords(const std::vector<NewsRecord>& records);
