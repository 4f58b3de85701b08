#include "mailindex.h"

#include "fileutil.h"

#include <cstdio>
#include <cstdlib>

std::vector<MailRecord> readMailIndex(const std::string& path, long fromOffset)
{
    std::vector<MailRecord> records;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return records;
    std::fseek(f, fromOffset, SEEK_SET);
    char line[4096];
    std::string lines[8];
    int n = 0;
    while (std::fgets(line, sizeof line, f)) {
        lines[n++] = chomp(line);
        if (n < 8)
            continue;
        MailRecord r{lines[0], lines[1], lines[2], lines[3], lines[4], lines[5],
                     std::atol(lines[6].c_str()), std::atol(lines[7].c_str())};
        records.push_back(r);
        n = 0;
    }
    std::fclose(f);
    return records;
}
