// Subcommand import-mail: calls IMPMAIL until it returns -1, as the host
// contract asks, then lists the records the calls added to "mail.hdr".
#include "commands.h"
#include "library.h"
#include "mailindex.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
std::string cut(const std::string& s, std::size_t width)
{
    return s.size() <= width ? s : s.substr(0, width - 3) + "...";
}
}  // namespace

int cmdImportMail(const Args& args)
{
    if (args.size() < 4 || args.size() > 5)
        return usageError("import-mail");
    int level = args.size() == 5 ? std::atoi(args[4].c_str()) : 5;
    Library dll("tarn32.dll");
    auto impmail = dll.get<tarn32::ImpMail>("IMPMAIL");
    if (!impmail)
        return 1;

    std::string index = args[1] + "\\mail.hdr";
    long before = fileSizeOf(index);
    int imported = 0;
    for (;;) {
        // Fresh, writable folder strings on every call: IMPMAIL appends a
        // backslash to both.
        std::vector<char> inbound(args[0].begin(), args[0].end());
        std::vector<char> work(args[1].begin(), args[1].end());
        inbound.resize(inbound.size() + 2, '\0');
        work.resize(work.size() + 2, '\0');
        if (impmail(inbound.data(), work.data(), args[2].c_str(), args[3].c_str(), level) != 0)
            break;
        ++imported;
    }
    std::printf("%d message%s imported into %s\\mailarea.txt\n", imported, imported == 1 ? "" : "s",
                args[1].c_str());
    std::vector<MailRecord> records = readMailIndex(index, before);
    if (!records.empty()) {
        std::printf("\n%-3s %-28s %-28s %-30s %9s %9s\n", "#", "To", "From", "Subject", "start",
                    "end");
        int i = 0;
        for (const MailRecord& r : records)
            std::printf("%-3d %-28s %-28s %-30s %9ld %9ld\n", ++i, cut(r.to, 28).c_str(),
                        cut(r.from, 28).c_str(), cut(r.subject, 30).c_str(), r.start, r.end);
    }
    return 0;
}
