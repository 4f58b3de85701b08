// Subcommands import-news and export-news.
//
// import-news calls IMPNEWS once per batch, as the host contract
// asks, and shows the records of "Header.Msg" after every call that
// imported one, before the next call deletes them.
#include "commands.h"
#include "library.h"
#include "mailindex.h"
#include "newsindex.h"

#include <windows.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
std::string cut(const std::string& s, std::size_t width)
{
    return s.size() <= width ? s : s.substr(0, width - 3) + "...";
}

// "Subject: x" -> "x"
std::string value(const std::string& line)
{
    std::size_t colon = line.find(": ");
    return colon == std::string::npos ? line : line.substr(colon + 2);
}

// Fresh, writable folder strings for one call: the export appends a
// backslash to both.
std::vector<char> buffer(const std::string& s)
{
    std::vector<char> b(s.begin(), s.end());
    b.resize(b.size() + 2, '\0');
    return b;
}
}  // namespace

int cmdImportNews(const Args& args)
{
    if (args.size() < 4 || args.size() > 6)
        return usageError("import-news");
    int bits = args.size() >= 5 ? std::atoi(args[4].c_str()) : 0;
    int level = args.size() == 6 ? std::atoi(args[5].c_str()) : 5;
    Library dll("tarn32.dll");
    auto impnews = dll.get<tarn32::ImpNews>("IMPNEWS");
    if (!impnews)
        return 1;

    // A batch can hold thousands of records; one write per line is slow on
    // a redirected output.
    static char out[1 << 16];
    std::setvbuf(stdout, out, _IOFBF, sizeof out);
    int batches = 0;
    int result;
    for (;;) {
        std::vector<char> inbound = buffer(args[0]), work = buffer(args[1]);
        result = impnews(inbound.data(), work.data(), args[2].c_str(), args[3].c_str(), level,
                         bits);
        if (result != 0)
            break;
        ++batches;
        std::vector<NewsRecord> records = readNewsIndex(args[0] + "\\Header.Msg");
        std::printf("batch %d: %zu article%s stored\n", batches, records.size(),
                    records.size() == 1 ? "" : "s");
        if (records.empty())
            continue;
        std::printf("  %-5s %-26s %-30s %-26s %8s %8s\n", "area", "From", "Subject", "Message-ID",
                    "start", "end");
        for (const NewsRecord& r : records)
            std::printf("  %-5ld %-26s %-30s %-26s %8ld %8ld\n", r.area,
                        cut(value(r.from), 26).c_str(), cut(value(r.subject), 30).c_str(),
                        cut(value(r.messageId), 26).c_str(), r.start, r.end);
    }
    std::printf("%d batch%s imported; last IMPNEWS result %d (%s)\n", batches,
                batches == 1 ? "" : "es", result,
                result == 1 ? "nothing more to import" : "an error stopped the import");
    std::fflush(stdout);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return result == -1 ? 1 : 0;
}

namespace {
// The job files (NNNN.CMD, .XQT, .DAT) of the folder, by name.
std::vector<std::string> jobFiles(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((folder + "\\????.*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = d.cFileName;
        if (n.size() == 8 && n[4] == '.')
            names.push_back(n);
    } while (FindNextFileA(h, &d));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace

// Subcommand export-news: EXPNEWS once for the batch the host has left in
// the outbound folder ("rnews" to compress, or "rnews.z"), then shows the
// job files that the call added.
int cmdExportNews(const Args& args)
{
    if (args.size() < 4 || args.size() > 6)
        return usageError("export-news");
    int count = std::atoi(args[3].c_str());
    int bits = args.size() >= 5 ? std::atoi(args[4].c_str()) : 0;
    int level = args.size() == 6 ? std::atoi(args[5].c_str()) : 5;
    Library dll("tarn32.dll");
    auto expnews = dll.get<tarn32::ExpNews>("EXPNEWS");
    if (!expnews)
        return 1;
    std::vector<std::string> before = jobFiles(args[0]);
    std::vector<char> outbound = buffer(args[0]), work = buffer(args[1]);
    int result = expnews(outbound.data(), work.data(), args[2].c_str(), count, level, bits);
    if (result != 0) {
        std::printf("EXPNEWS result %d: no job queued (see %s\\news.log)\n", result,
                    args[1].c_str());
        return 1;
    }
    std::printf("EXPNEWS result 0: news job queued for %s (%d article%s%s)\n", args[2].c_str(),
                count, count == 1 ? "" : "s", bits > 0 ? ", compressed" : "");
    for (const std::string& f : jobFiles(args[0])) {
        if (std::find(before.begin(), before.end(), f) == before.end())
            std::printf("  %-9s %8ld bytes\n", f.c_str(), fileSizeOf(args[0] + "\\" + f));
    }
    return 0;
}
