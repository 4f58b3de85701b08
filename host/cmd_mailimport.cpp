// Subcommand import-mail: calls IMPMAIL until it returns -1, as the host
// contract asks, counting as it goes, then lists the records the calls
// added to "mail.hdr". Mail jobs ("C rmail") left in the inbound folder
// afterwards could not be imported: the run failed for them.
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "mailindex.h"
#include "options.h"
#include "recordtable.h"
#include "report.h"
#include "statusline.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The mail jobs among the job files of the inbound folder: those whose
// command line is "C rmail ..." (news jobs wait there for import-news).
std::size_t mailJobsIn(const std::string& inbound)
{
    std::size_t n = 0;
    for (const std::string& name : fileNames(inbound, "*.x")) {
        std::string text;
        if (!readWholeFile(inbound + "\\" + name, text))
            continue;
        text.insert(0, "\n");
        n += text.find("\nC rmail") != std::string::npos;
    }
    return n;
}

}  // namespace

int cmdImportMail(const Args& args)
{
    CommandLine line(args, {{"--level", true}, {"-v", false}, {"-q", false}});
    const Args& p = line.positional();
    if (!line.error().empty())
        return usageProblem("import-mail", "%s", line.error().c_str());
    if (p.size() < 4 || p.size() > 5)
        return usageError("import-mail");
    long level;
    if (!line.level(p.size() == 5 ? p[4] : "", 5, level))
        return usageProblem("import-mail", "%s", line.error().c_str());
    for (int i : {0, 1}) {
        if (!isFolder(p[i]))
            return usageProblem("import-mail", "<%s>: %s is not a folder",
                                i == 0 ? "inbound" : "work", p[i].c_str());
    }
    Library dll("tarn32.dll");
    auto impmail = dll.get<tarn32::ImpMail>("IMPMAIL");
    if (!impmail)
        return kExitFailed;

    std::string index = p[1] + "\\mail.hdr";
    long before = static_cast<long>(std::max(0LL, fileSizeOf(index)));
    int imported = 0;
    StatusLine status;
    for (;;) {
        // Fresh, writable folder strings on every call: IMPMAIL appends a
        // backslash to both.
        std::vector<char> inbound(p[0].begin(), p[0].end());
        std::vector<char> work(p[1].begin(), p[1].end());
        inbound.resize(inbound.size() + 2, '\0');
        work.resize(work.size() + 2, '\0');
        if (impmail(inbound.data(), work.data(), p[2].c_str(), p[3].c_str(),
                    static_cast<int>(level)) != 0)
            break;
        ++imported;
        status.show("importing: " + std::to_string(imported) + " so far");
    }
    status.end();
    std::printf("%d message%s imported into %s\\mailarea.txt\n", imported, imported == 1 ? "" : "s",
                p[1].c_str());
    printMailRecords(readMailIndex(index, before));
    std::size_t left = mailJobsIn(p[0]);
    if (left > 0)
        return failure("%zu mail job%s left in %s could not be imported (see %s\\mail.log)", left,
                       left == 1 ? "" : "s", p[0].c_str(), p[1].c_str());
    return kExitDone;
}
