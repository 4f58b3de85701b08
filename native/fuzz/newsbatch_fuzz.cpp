// News import of one plain batch on arbitrary bytes: the batch splitter
// ("#! rnews " lines), the article header scan and the placement through
// "area.dat". Input: the area table's bytes, a NUL, the batch's bytes (no
// NUL: the table is missing and the batch is all of it).
// Checks: the result is 0 or 1; on 1 the job and its data file are still
// there, untouched; on 0 both are gone, the split file holds the batch byte
// for byte, the area files together hold no more than the batch, and the
// index is whole records whose offsets lie within their area files.
#include "fuzz_input.h"
#include "news/newsimport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char kJob[] = "U news gate\nF D.gateN0001\nI D.gateN0001\nC rnews\n";

std::string readFile(const std::string& path, bool& there)
{
    std::ifstream f(path, std::ios::binary);
    there = static_cast<bool>(f);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string readFile(const std::string& path)
{
    bool there;
    return readFile(path, there);
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    return fuzzWriteFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Index records: nine lines each, the area number, six header lines, and
// the article's start and end offsets in its area file. False when a record
// is malformed or its offsets do not lie within the area file.
bool indexFits(const std::string& index, const std::map<long, long>& areaSizes)
{
    std::vector<std::string> lines;
    std::istringstream in(index);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    if (lines.size() % 9 != 0)
        return false;
    for (std::size_t r = 0; r < lines.size(); r += 9) {
        long area = std::atol(lines[r].c_str());
        long start = std::atol(lines[r + 7].c_str());
        long end = std::atol(lines[r + 8].c_str());
        auto it = areaSizes.find(area);
        if (it == areaSizes.end() || start < 1 || start > end + 1 || end > it->second)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& scratch = fuzzScratchFolder();
    const std::string in = scratch + "/in/", work = scratch + "/work/";
    fuzzRemoveFolder(in.substr(0, in.size() - 1));
    fuzzRemoveFolder(work.substr(0, work.size() - 1));
    if (::mkdir(in.c_str(), 0700) != 0 || ::mkdir(work.c_str(), 0700) != 0)
        std::abort();

    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    std::string table, batch;
    if (nul) {
        table.assign(reinterpret_cast<const char*>(data), nul - data);
        batch.assign(reinterpret_cast<const char*>(nul + 1), size - (nul - data) - 1);
    } else {
        batch.assign(reinterpret_cast<const char*>(data), size);
    }
    if (!writeFile(in + "N.x", kJob) || !writeFile(in + "0N0001.D", batch) ||
        (nul && !writeFile(work + "area.dat", table)))
        std::abort();

    tarn::NewsImportArgs args;
    args.inboundFolder = in;
    args.workFolder = work;
    args.systemName1 = "gate";
    args.systemName2 = "office";
    args.logLevel = 9;
    int r = tarn::importNews(args);

    bool jobThere, dataThere;
    std::string job = readFile(in + "N.x", jobThere);
    std::string left = readFile(in + "0N0001.D", dataThere);
    if (r == 1) {
        // Nothing taken: the job and its batch wait for a later call.
        if (!jobThere || !dataThere || job != kJob || left != batch)
            std::abort();
        return 0;
    }
    if (r != 0 || jobThere || dataThere)
        std::abort();
    if (readFile(in + "$7b60051.int") != batch)
        std::abort();
    // Every article is copied once, from the batch: the area files together
    // hold no more than it, and each index record's offsets (its last two
    // lines) lie within the area file's size.
    std::map<long, long> areaSizes;
    long total = 0;
    if (DIR* d = ::opendir(work.c_str())) {
        while (dirent* e = ::readdir(d)) {
            long n = 0;
            char tail[8] = {};
            struct stat st;
            if (std::sscanf(e->d_name, "area%ld%7s", &n, tail) == 2 && std::strcmp(tail, ".txt") == 0 &&
                ::stat((work + e->d_name).c_str(), &st) == 0) {
                areaSizes[n] = static_cast<long>(st.st_size);
                total += static_cast<long>(st.st_size);
            }
        }
        ::closedir(d);
    }
    if (total > static_cast<long>(batch.size()))
        std::abort();
    std::string index = readFile(in + "Header.Msg");
    if ((!index.empty() && index.back() != '\n') || !indexFits(index, areaSizes))
        std::abort();
    return 0;
}
