// Subcommands: the content codecs of tarn32 (MIME, quoted-printable,
// Latin-1 to code page 850, UU).
#include "commands.h"
#include "library.h"

#include <cstdio>
#include <cstdlib>

namespace {
long sizeOf(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fclose(f);
    return n;
}
}  // namespace

int cmdMimeDecode(const Args& args)
{
    if (args.size() != 2)
        return usageError("mime-decode");
    Library dll("tarn32.dll");
    auto decode = dll.get<tarn32::MimeDecode>("MIMEDECODE");
    if (!decode)
        return 1;
    if (decode(args[0].c_str(), args[1].c_str()) != 0) {
        std::printf("cannot decode %s into %s\n", args[0].c_str(), args[1].c_str());
        return 1;
    }
    long n = sizeOf(args[1]);
    if (n < 0)
        std::printf("%s: no attachment was kept\n", args[0].c_str());
    else
        std::printf("%s: attachment decoded into %s (%ld bytes)\n", args[0].c_str(), args[1].c_str(), n);
    return 0;
}

int cmdMimeAttach(const Args& args)
{
    if (args.size() != 3)
        return usageError("mime-attach");
    Library dll("tarn32.dll");
    auto encode = dll.get<tarn32::MimeEncode>("MIMEENCODE");
    if (!encode)
        return 1;
    if (encode(args[0].c_str(), args[1].c_str(), args[2].c_str()) != 0) {
        std::printf("cannot attach %s as %s\n", args[0].c_str(), args[1].c_str());
        return 1;
    }
    std::printf("%s attached as \"%s\" in %s (%ld bytes)\n", args[0].c_str(), args[2].c_str(),
                args[1].c_str(), sizeOf(args[1]));
    return 0;
}

int cmdQuote(const Args& args)
{
    if (args.size() != 1)
        return usageError("qp-encode");
    Library dll("tarn32.dll");
    auto quote = dll.get<tarn32::WriteQuoted>("WRITEQUOTED");
    if (!quote)
        return 1;
    char error[400] = "";
    long before = sizeOf(args[0]);
    if (quote(args[0].c_str(), "", error, 0) != 0) {
        std::printf("%s", error);
        return 1;
    }
    std::printf("%s: quoted-printable, %ld bytes (was %ld)\n", args[0].c_str(), sizeOf(args[0]), before);
    return 0;
}

int cmdIsoTo850(const Args& args)
{
    if (args.size() != 2)
        return usageError("iso-to-850");
    Library dll("tarn32.dll");
    auto convert = dll.get<tarn32::DecodeIso>("DECODE_ISO");
    if (!convert)
        return 1;
    char status[400] = "";
    int r = convert(args[0].c_str(), args[1].c_str(), status);
    std::printf("%s%s", status, r == 0 ? "\n" : "");
    return r == 0 ? 0 : 1;
}

// Both directions go through the one export; the input's extension decides.
int cmdUuCode(const Args& args)
{
    if (args.empty() || args.size() > 5)
        return usageError("uucode");
    Library dll("tarn32.dll");
    auto code = dll.get<tarn32::UuEncode>("_UUENCODE@20");
    if (!code)
        return 1;
    auto arg = [&](std::size_t i) { return i < args.size() && args[i] != "-" ? args[i] : std::string(); };
    std::string countDir = args.size() > 3 ? args[3] : std::string(".");
    int maxKB = args.size() > 4 ? std::atoi(args[4].c_str()) : 0;
    std::fflush(stdout);
    code(arg(0).c_str(), arg(1).c_str(), arg(2).c_str(), countDir.c_str(), maxKB);
    std::fflush(stdout);
    return 0;
}
