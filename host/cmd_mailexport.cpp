// Subcommands: outgoing UUCP mail. prepare-mail builds "rmail.z" in the
// outbound folder with GENUUCP (header text, then the bytes of a body file)
// and WRITEUUCP (more text appended); export-mail turns it into a queued job
// with EXPMAIL and shows the job files it wrote.
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "options.h"
#include "report.h"

#include <cstdio>
#include <set>
#include <string>

namespace {

// The file as text: false when it cannot be read or holds a NUL.
bool readText(const std::string& path, std::string& out)
{
    return readWholeFile(path, out) && out.find('\0') == std::string::npos;
}

}  // namespace

int cmdPrepareMail(const Args& args)
{
    if (args.size() < 3 || args.size() > 4)
        return usageError("prepare-mail");
    const std::string& outbound = args[0];
    std::string prepared = outbound + "\\rmail.z";
    if (fileSizeOf(prepared) >= 0) {
        // GENUUCP would append to it: a message still waiting for export.
        return failure("%s exists already (a message waiting for export-mail)", prepared.c_str());
    }
    std::string headers, more;
    if (!readText(args[1], headers))
        return usageProblem("prepare-mail", "<header-file>: cannot read %s as a text",
                            args[1].c_str());
    if (fileSizeOf(args[2]) < 0)
        return usageProblem("prepare-mail", "<body-file>: cannot find %s", args[2].c_str());
    if (args.size() == 4 && !readText(args[3], more))
        return usageProblem("prepare-mail", "[more-text-file]: cannot read %s as a text",
                            args[3].c_str());
    Library dll("tarn32.dll");
    auto genuucp = dll.get<tarn32::GenUucp>("GENUUCP");
    auto writeuucp = dll.get<tarn32::WriteUucp>("WRITEUUCP");
    if (!genuucp || !writeuucp)
        return kExitFailed;
    char error[contract::kErrorBufferSize] = "";
    if (genuucp(outbound.c_str(), args[2].c_str(), "rmail.z", headers.c_str(), error, 0) != 0)
        return failure("GENUUCP failed: %s", error);
    std::printf("GENUUCP: %s = header text (%zu bytes) + %s (%lld bytes)\n", prepared.c_str(),
                headers.size(), args[2].c_str(), fileSizeOf(args[2]));
    if (args.size() == 4) {
        int start = 0, length = 0;
        if (writeuucp(prepared.c_str(), &start, &length, more.c_str(), error) != 0)
            return failure("WRITEUUCP failed: %s", error);
        std::printf("WRITEUUCP: appended %s at offset %d, length %d\n", args[3].c_str(), start,
                    length);
    }
    std::printf("%s is %lld bytes\n", prepared.c_str(), fileSizeOf(prepared));
    return kExitDone;
}

int cmdExportMail(const Args& args)
{
    CommandLine line(args, {{"--level", true}, {"-v", false}, {"-q", false}});
    const Args& p = line.positional();
    if (!line.error().empty())
        return usageProblem("export-mail", "%s", line.error().c_str());
    if (p.size() < 5 || p.size() > 6)
        return usageError("export-mail");
    long level;
    if (!line.level(p.size() == 6 ? p[5] : "", 2, level))
        return usageProblem("export-mail", "%s", line.error().c_str());
    Library dll("tarn32.dll");
    auto expmail = dll.get<tarn32::ExpMail>("EXPMAIL");
    if (!expmail)
        return kExitFailed;
    std::set<std::string> before = fileNames(p[0]);
    int r = expmail(p[0].c_str(), p[1].c_str(), p[2].c_str(), p[3].c_str(), p[4].c_str(),
                    static_cast<int>(level));
    if (r != 0)
        return failure("EXPMAIL failed (see %s\\mail.log)", p[1].c_str());
    std::printf("EXPMAIL queued the message for %s via %s:\n", p[2].c_str(), p[3].c_str());
    for (const std::string& name : fileNames(p[0])) {
        if (!before.count(name))
            std::printf("  %-10s %6lld bytes\n", name.c_str(), fileSizeOf(p[0] + "\\" + name));
    }
    return kExitDone;
}
