#include "newsgroups.h"

#include "stdiofile.h"

#include <cstdlib>

namespace tarn {

namespace {
constexpr int kNameLineWidth = 255;    // 254 characters and the NUL
constexpr int kNumberLineWidth = 19;   // 18 characters and the NUL
}  // namespace

Placement placeArticle(const std::string& tablePath, const std::string& newsgroupsLine,
                       PreLog& log)
{
    Placement result;
    StdioFile table;
    if (!table.open(tablePath, "rb"))
        return result;
    result.tableOpened = true;
    char nameLine[kNameLineWidth];
    char numberLine[kNumberLineWidth];
    while (std::fgets(nameLine, sizeof nameLine, table.get())) {
        long number = 0;
        if (std::fgets(numberLine, sizeof numberLine, table.get()))
            number = std::strtol(numberLine, nullptr, 10);
        log.write(5, "areaname = %s \n", nameLine);
        std::string name = nameLine;
        if (!name.empty())
            name.pop_back();  // the line feed
        if (newsgroupsLine.find(name) == std::string::npos) {
            log.write(8, "rec Grp Name: %s - Actual %s\n", newsgroupsLine.c_str(), name.c_str());
            continue;
        }
        if (number != 0) {
            result.area = number;
            break;
        }
    }
    return result;
}

}  // namespace tarn
