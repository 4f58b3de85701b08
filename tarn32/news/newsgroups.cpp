#include "newsgroups.h"

#include "frame/stdiofile.h"

#include <cstdlib>

namespace tarn {

namespace {
constexpr int kNameLineWidth = 255;    // 254 characters and the NUL
constexpr int kNumberLineWidth = 19;   // 18 characters and the NUL
}  // namespace

bool AreaTable::load(const std::string& tablePath)
{
    pairs_.clear();
    StdioFile table;
    loaded_ = table.open(tablePath, "rb");
    if (!loaded_)
        return false;
    char nameLine[kNameLineWidth];
    char numberLine[kNumberLineWidth];
    while (std::fgets(nameLine, sizeof nameLine, table.get())) {
        Pair p{nameLine, nameLine, 0};
        if (std::fgets(numberLine, sizeof numberLine, table.get()))
            p.number = std::strtol(numberLine, nullptr, 10);
        if (!p.name.empty())
            p.name.pop_back();  // the line feed
        pairs_.push_back(std::move(p));
    }
    return true;
}

long AreaTable::place(const std::string& newsgroupsLine, PreLog& log) const
{
    for (const Pair& p : pairs_) {
        log.write(5, "areaname = %s \n", p.nameLine.c_str());
        if (newsgroupsLine.find(p.name) == std::string::npos) {
            log.write(8, "rec Grp Name: %s - Actual %s\n", newsgroupsLine.c_str(), p.name.c_str());
            continue;
        }
        if (p.number != 0)
            return p.number;
    }
    return 0;
}

Placement placeArticle(const std::string& tablePath, const std::string& newsgroupsLine,
                       PreLog& log)
{
    Placement result;
    AreaTable table;
    result.tableOpened = table.load(tablePath);
    if (result.tableOpened)
        result.area = table.place(newsgroupsLine, log);
    return result;
}

}  // namespace tarn
