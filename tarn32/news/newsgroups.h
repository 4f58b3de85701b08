// Article placement through the newsgroup table "area.dat" (layout in
// newsfiles.h). The pairs are tried in file order; a pair matches when its
// name occurs anywhere in the article's "Newsgroups: " line (plain,
// case-sensitive substring test on the whole line, header name included, so
// comp.lang.c matches comp.lang.c++ and an empty name matches everything).
// The first matching pair whose number is not 0 decides. No Win32.
#pragma once

#include "frame/prelog.h"

#include <string>
#include <vector>

namespace tarn {

struct Placement {
    bool tableOpened = false;  // false: "area.dat" could not be opened
    long area = 0;             // the deciding pair's number, 0 when none matched
};

// The table, read once for all articles of a batch (the host does not
// change it while an import runs).
class AreaTable {
public:
    // False when the file cannot be opened.
    bool load(const std::string& tablePath);
    bool loaded() const { return loaded_; }

    // Logs "areaname = %s \n" (level 5) for each name line as read and
    // "rec Grp Name: %s - Actual %s\n" (level 8) for each name that does not
    // match. The article belongs to an area only when the result is 1 or
    // more.
    long place(const std::string& newsgroupsLine, PreLog& log) const;

private:
    struct Pair {
        std::string nameLine;  // as read, line feed included
        std::string name;      // without its last character
        long number;
    };
    std::vector<Pair> pairs_;
    bool loaded_ = false;
};

// Loads the table at `tablePath` and places one article.
Placement placeArticle(const std::string& tablePath, const std::string& newsgroupsLine,
                       PreLog& log);

}  // namespace tarn
