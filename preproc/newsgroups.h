// Article placement through the newsgroup table "area.dat" (layout in
// newsfiles.h). The pairs are tried in file order; a pair matches when its
// name occurs anywhere in the article's "Newsgroups: " line (plain,
// case-sensitive substring test on the whole line, header name included, so
// comp.lang.c matches comp.lang.c++ and an empty name matches everything).
// The first matching pair whose number is not 0 decides. No Win32.
#pragma once

#include "prelog.h"

#include <string>

namespace tarn {

struct Placement {
    bool tableOpened = false;  // false: "area.dat" could not be opened
    long area = 0;             // the deciding pair's number, 0 when none matched
};

// Reads the table at `tablePath`, logging "areaname = %s \n" (level 5) for
// each name line as read and "rec Grp Name: %s - Actual %s\n" (level 8) for
// each name that does not match. The article belongs to an area only when
// the result is 1 or more.
Placement placeArticle(const std::string& tablePath, const std::string& newsgroupsLine,
                       PreLog& log);

}  // namespace tarn
