// Subcommands: outgoing UUCP mail. prepare-mail builds "rmail.z" in the
// outbound folder with GENUUCP (header text, then the bytes of a body file)
// and WRITEUUCP (more text appended); export-mail turns it into a queued job
// with EXPMAIL and shows the job files it wrote.
#include "commands.h"
#include "library.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

constexpr int kErrorBufferSize = 256;

bool readText(const std::string& path, std::string& out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char block[65536];
    std::size_t n;
    out.clear();
    while ((n = std::fread(block, 1, sizeof block, f)) > 0)
        out.append(block, n);
    std::fclose(f);
    return out.find('\0') == std::string::npos;
}

std::set<std::string> folderNames(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

long sizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a))
        return -1;
    return static_cast<long>(a.nFileSizeLow);
}

}  // namespace

int cmdPrepareMail(const Args& args)
{
    if (args.size() < 3 || args.size() > 4)
        return usageError("prepare-mail");
    const std::string& outbound = args[0];
    std::string prepared = outbound + "\\rmail.z";
    if (sizeOf(prepared) >= 0) {
        // GENUUCP would append to it: a message still waiting for export.
        std::printf("%s exists already (a message waiting for export-mail)\n", prepared.c_str());
        return 1;
    }
    std::string headers, more;
    if (!readText(args[1], headers)) {
        std::fprintf(stderr, "tarnwick: cannot read %s as a text\n", args[1].c_str());
        return 1;
    }
    if (args.size() == 4 && !readText(args[3], more)) {
        std::fprintf(stderr, "tarnwick: cannot read %s as a text\n", args[3].c_str());
        return 1;
    }
    Library dll("tarn32.dll");
    auto genuucp = dll.get<tarn32::GenUucp>("GENUUCP");
    auto writeuucp = dll.get<tarn32::WriteUucp>("WRITEUUCP");
    if (!genuucp || !writeuucp)
        return 1;
    char error[kErrorBufferSize] = "";
    if (genuucp(outbound.c_str(), args[2].c_str(), "rmail.z", headers.c_str(), error, 0) != 0) {
        std::printf("GENUUCP failed: %s\n", error);
        return 1;
    }
    std::printf("GENUUCP: %s = header text (%zu bytes) + %s (%ld bytes)\n", prepared.c_str(),
                headers.size(), args[2].c_str(), sizeOf(args[2]));
    if (args.size() == 4) {
        int start = 0, length = 0;
        if (writeuucp(prepared.c_str(), &start, &length, more.c_str(), error) != 0) {
            std::printf("WRITEUUCP failed: %s\n", error);
            return 1;
        }
        std::printf("WRITEUUCP: appended %s at offset %d, length %d\n", args[3].c_str(), start,
                    length);
    }
    std::printf("%s is %ld bytes\n", prepared.c_str(), sizeOf(prepared));
    return 0;
}

int cmdExportMail(const Args& args)
{
    if (args.size() < 5 || args.size() > 6)
        return usageError("export-mail");
    int level = args.size() == 6 ? std::atoi(args[5].c_str()) : 2;
    Library dll("tarn32.dll");
    auto expmail = dll.get<tarn32::ExpMail>("EXPMAIL");
    if (!expmail)
        return 1;
    std::set<std::string> before = folderNames(args[0]);
    int r = expmail(args[0].c_str(), args[1].c_str(), args[2].c_str(), args[3].c_str(),
                    args[4].c_str(), level);
    if (r != 0) {
        std::printf("EXPMAIL failed (see %s\\mail.log)\n", args[1].c_str());
        return 1;
    }
    std::printf("EXPMAIL queued the message for %s via %s:\n", args[2].c_str(), args[3].c_str());
    for (const std::string& name : folderNames(args[0])) {
        if (!before.count(name))
            std::printf("  %-10s %6ld bytes\n", name.c_str(), sizeOf(args[0] + "\\" + name));
    }
    return 0;
}
