#include "newsindex.h"

#include "fileutil.h"

#include <cstdio>
#include <cstdlib>

std::vector<NewsRecord> readNewsIndex(const std::string& path)
{
    std::vector<NewsRecord> records;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return records;
    char line[4096];
    std::string lines[9];
    int n = 0;
    while (std::fgets(line, sizeof line, f)) {
        lines[n++] = chomp(line);
        if (n < 9)
            continue;
        NewsRecord r;
        r.area = std::atol(lines[0].c_str());
        r.from = lines[1];
        r.date = lines[2];
        r.messageId = lines[3];
        r.subject = lines[4];
        r.references = lines[5];
        r.lines = lines[6];
        r.start = std::atol(lines[7].c_str());
        r.end = std::atol(lines[8].c_str());
        records.push_back(r);
        n = 0;
    }
    std::fclose(f);
    return records;
}
