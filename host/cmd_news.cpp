// Subcommands import-news and export-news.
//
// import-news calls IMPNEWS once per batch, as the host contract
// asks, and shows the records of "Header.Msg" after every call that
// imported one, before the next call deletes them.
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "newsindex.h"
#include "options.h"
#include "recordtable.h"
#include "report.h"

#include <windows.h>

#include <algorithm>

#include <cstdio>
#include <vector>

namespace {
// Fresh, writable folder strings for one call: the export appends a
// backslash to both.
std::vector<char> buffer(const std::string& s)
{
    std::vector<char> b(s.begin(), s.end());
    b.resize(b.size() + 2, '\0');
    return b;
}
// The options of import-news and export-news: the bits and the level, by
// name or in the old places after `fixed` positional arguments.
int newsOptions(const char* command, const Args& args, std::size_t fixed, Args& p, long& bits,
                long& level)
{
    CommandLine line(args, {{"--bits", true}, {"--level", true}, {"-v", false}, {"-q", false}});
    p = line.positional();
    if (!line.error().empty())
        return usageProblem(command, "%s", line.error().c_str());
    if (p.size() < fixed || p.size() > fixed + 2)
        return usageError(command);
    bool bitsHere = p.size() > fixed;
    if (bitsHere && line.has("--bits"))
        return usageProblem(command, "give the bits once");
    bool bitsOk = bitsHere ? line.number(fixed, "bits", 0, 16, bits)
                           : line.number("--bits", 0, 16, 0, bits);
    if (!bitsOk || !line.level(p.size() == fixed + 2 ? p[fixed + 1] : "", 5, level))
        return usageProblem(command, "%s", line.error().c_str());
    if (bits != 0 && bits < 9)
        return usageProblem(command, "bits must be 0 (plain) or 9 to 16, not %ld", bits);
    return kExitDone;
}

}  // namespace

int cmdImportNews(const Args& args)
{
    Args p;
    long bits, level;
    if (int rc = newsOptions("import-news", args, 4, p, bits, level))
        return rc;
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
        std::vector<char> inbound = buffer(p[0]), work = buffer(p[1]);
        result = impnews(inbound.data(), work.data(), p[2].c_str(), p[3].c_str(),
                         static_cast<int>(level), static_cast<int>(bits));
        if (result != 0)
            break;
        ++batches;
        std::vector<NewsRecord> records = readNewsIndex(p[0] + "\\Header.Msg");
        std::printf("batch %d: %zu article%s stored\n", batches, records.size(),
                    records.size() == 1 ? "" : "s");
        printNewsRecords(records);
    }
    std::printf("%d batch%s imported; last IMPNEWS result %d (%s)\n", batches,
                batches == 1 ? "" : "es", result,
                result == 1 ? "nothing more to import" : "an error stopped the import");
    std::fflush(stdout);
    return result == -1 ? kExitFailed : kExitDone;
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
    Args p;
    long bits, level, count;
    if (int rc = newsOptions("export-news", args, 4, p, bits, level))
        return rc;
    if (!parseNumber(p[3], 0, 2147483647, count))
        return usageProblem("export-news", "count must be a whole number from 0 up, not '%s'",
                            p[3].c_str());
    Library dll("tarn32.dll");
    auto expnews = dll.get<tarn32::ExpNews>("EXPNEWS");
    if (!expnews)
        return 1;
    std::vector<std::string> before = jobFiles(p[0]);
    std::vector<char> outbound = buffer(p[0]), work = buffer(p[1]);
    int result = expnews(outbound.data(), work.data(), p[2].c_str(), static_cast<int>(count),
                         static_cast<int>(level), static_cast<int>(bits));
    if (result != 0)
        return failure("EXPNEWS result %d: no job queued (see %s\\news.log)", result,
                       p[1].c_str());
    std::printf("EXPNEWS result 0: news job queued for %s (%ld article%s%s)\n", p[2].c_str(),
                count, count == 1 ? "" : "s", bits > 0 ? ", compressed" : "");
    for (const std::string& f : jobFiles(p[0])) {
        if (std::find(before.begin(), before.end(), f) == before.end())
            std::printf("  %-9s %8lld bytes\n", f.c_str(), fileSizeOf(p[0] + "\\" + f));
    }
    return kExitDone;
}
