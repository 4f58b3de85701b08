// Subcommands: the content codecs of tarn32 (MIME, quoted-printable,
// Latin-1 to code page 850, UU).
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "options.h"
#include "report.h"

#include <cctype>
#include <cstdio>

namespace {
// A usage error unless path names a file to read.
int needInput(const char* command, const char* label, const std::string& path)
{
    if (fileSizeOf(path) >= 0)
        return kExitDone;
    return usageProblem(command, "%s: cannot find the file %s", label, path.c_str());
}
}  // namespace

int cmdMimeDecode(const Args& args)
{
    if (args.size() != 2)
        return usageError("mime-decode");
    if (int rc = needInput("mime-decode", "<message>", args[0]))
        return rc;
    Library dll("tarn32.dll");
    auto decode = dll.get<tarn32::MimeDecode>("MIMEDECODE");
    if (!decode)
        return kExitFailed;
    if (decode(args[0].c_str(), args[1].c_str()) != 0)
        return failure("cannot decode %s into %s", args[0].c_str(), args[1].c_str());
    long long n = fileSizeOf(args[1]);
    if (n < 0)
        return failure("%s: no attachment was kept", args[0].c_str());
    std::printf("%s: attachment decoded into %s (%lld bytes)\n", args[0].c_str(), args[1].c_str(), n);
    return kExitDone;
}

int cmdMimeAttach(const Args& args)
{
    if (args.size() != 3)
        return usageError("mime-attach");
    if (int rc = needInput("mime-attach", "<file>", args[0]))
        return rc;
    Library dll("tarn32.dll");
    auto encode = dll.get<tarn32::MimeEncode>("MIMEENCODE");
    if (!encode)
        return kExitFailed;
    if (encode(args[0].c_str(), args[1].c_str(), args[2].c_str()) != 0)
        return failure("cannot attach %s as %s", args[0].c_str(), args[1].c_str());
    std::printf("%s attached as \"%s\" in %s (%lld bytes)\n", args[0].c_str(), args[2].c_str(),
                args[1].c_str(), fileSizeOf(args[1]));
    return kExitDone;
}

int cmdQuote(const Args& args)
{
    if (args.size() != 1)
        return usageError("qp-encode");
    if (int rc = needInput("qp-encode", "<file>", args[0]))
        return rc;
    Library dll("tarn32.dll");
    auto quote = dll.get<tarn32::WriteQuoted>("WRITEQUOTED");
    if (!quote)
        return kExitFailed;
    char error[400] = "";
    long long before = fileSizeOf(args[0]);
    if (quote(args[0].c_str(), "", error, 0) != 0)
        return failure("%s", chomp(error).c_str());
    std::printf("%s: quoted-printable, %lld bytes (was %lld)\n", args[0].c_str(),
                fileSizeOf(args[0]), before);
    return kExitDone;
}

int cmdIsoTo850(const Args& args)
{
    if (args.size() != 2)
        return usageError("iso-to-850");
    if (int rc = needInput("iso-to-850", "<in>", args[0]))
        return rc;
    Library dll("tarn32.dll");
    auto convert = dll.get<tarn32::DecodeIso>("DECODE_ISO");
    if (!convert)
        return kExitFailed;
    char status[400] = "";
    if (convert(args[0].c_str(), args[1].c_str(), status) != 0)
        return failure("%s", chomp(status).c_str());
    std::printf("%s\n", status);
    return kExitDone;
}

// Both directions go through the one export; the input's extension
// decides. The export reports on standard output and returns nothing
// useful: an encoding counts as failed when its new output is missing
// after the call, a decoding into a named new output likewise.
int cmdUuCode(const Args& args)
{
    if (args.empty() || args.size() > 5)
        return usageError("uucode");
    auto arg = [&](std::size_t i) { return i < args.size() && args[i] != "-" ? args[i] : std::string(); };
    std::string in = arg(0);
    std::size_t dot = in.find_last_of(".\\");
    std::string ext = dot != std::string::npos && in[dot] == '.' ? in.substr(dot) : "";
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    bool decoding = ext.empty() || ext.compare(0, 4, ".enc") == 0 || ext.compare(0, 4, ".xxe") == 0 ||
                    ext.compare(0, 4, ".uue") == 0;
    if (int rc = needInput("uucode", "<in>", decoding && ext.empty() ? in + ".enc" : in))
        return rc;
    std::string countDir = args.size() > 3 ? args[3] : std::string(".");
    long maxKB = 0;
    if (args.size() > 4 && !parseNumber(args[4], 0, 2097151, maxKB))
        return usageProblem("uucode", "maxKB must be a whole number from 0 up, not '%s'",
                            args[4].c_str());
    Library dll("tarn32.dll");
    auto code = dll.get<tarn32::UuEncode>("_UUENCODE@20");
    if (!code)
        return kExitFailed;
    // The name the encoder writes first: out (or in) with ".enc" for its
    // extension.
    std::string out = arg(1).empty() ? in : arg(1);
    std::size_t outDot = out.find_last_of(".\\");
    std::string expected = (outDot != std::string::npos && out[outDot] == '.' ? out.substr(0, outDot) : out) + ".enc";
    // Only a file that was not there before can show that the call wrote it.
    std::string check = decoding ? arg(1) : expected;
    if (!check.empty() && fileSizeOf(check) >= 0)
        check.clear();
    std::fflush(stdout);
    code(in.c_str(), arg(1).c_str(), arg(2).c_str(), countDir.c_str(), static_cast<int>(maxKB));
    std::fflush(stdout);
    if (check.empty())
        return kExitDone;
    bool written = fileSizeOf(check) >= 0;
    if (!written)
        return failure("%s was not written (see the lines above)", check.c_str());
    return kExitDone;
}
