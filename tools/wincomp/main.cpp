// wincomp.exe: a compress-compatible program for the news batches.
//
//   wincomp [-d] [-f] [-k] [-b bits] file...
//
//   without -d  compresses each file into file.z (bits 9 to 16, default 16)
//   -d          expands file.z (or the file named, when it ends in .z or .Z)
//               into the name without the suffix; -b is accepted and
//               ignored, the width comes from the stream's header
//   -f          replaces an output file that exists; without it the file is
//               refused
//   -k          keeps the input file; accepted for compatibility, since the
//               input is always kept (news import reads the work files back
//               after the program has run, and export deletes its own)
//
// An output that cannot be completed (bad input, a read or write error) is
// removed, so a caller that finds the output file can trust it. Exit status
// 0 when every file was done, 1 otherwise, 2 for a bad command line.
#include "lzw.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
    bool expand = false;
    bool force = false;
    int bits = lzw::kMaxBits;
    std::vector<std::string> files;
};

int usage()
{
    std::fprintf(stderr, "usage: wincomp [-d] [-f] [-k] [-b bits] file...\n");
    return 2;
}

bool parseBits(const char* text, int& bits)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < lzw::kMinBits || v > lzw::kMaxBits)
        return false;
    bits = static_cast<int>(v);
    return true;
}

// False on a bad command line.
bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (a[0] != '-' || a[1] == '\0') {
            o.files.push_back(a);
            continue;
        }
        for (const char* p = a + 1; *p; ++p) {
            switch (*p) {
            case 'd': o.expand = true; break;
            case 'f': o.force = true; break;
            case 'k': break;
            case 'b':
                if (p[1] != '\0') {
                    if (!parseBits(p + 1, o.bits))
                        return false;
                } else if (i + 1 < argc) {
                    if (!parseBits(argv[++i], o.bits))
                        return false;
                } else {
                    return false;
                }
                p += std::strlen(p) - 1;  // the rest of this argument was the number
                break;
            default:
                return false;
            }
        }
    }
    return !o.files.empty();
}

bool endsWithZ(const std::string& name)
{
    return name.size() > 2 && name[name.size() - 2] == '.' &&
           (name.back() == 'z' || name.back() == 'Z');
}

bool exists(const std::string& path)
{
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

class Job {
public:
    Job(const std::string& in, const std::string& out) : inName_(in), outName_(out) {}
    ~Job()
    {
        if (in_)
            std::fclose(in_);
        if (out_)
            std::fclose(out_);
    }

    // Opens both files; false (with a message) when either fails.
    bool open(bool force)
    {
        in_ = std::fopen(inName_.c_str(), "rb");
        if (!in_)
            return fail("cannot open " + inName_);
        if (!force && exists(outName_))
            return fail(outName_ + " already exists (use -f to replace it)");
        out_ = std::fopen(outName_.c_str(), "wb");
        if (!out_)
            return fail("cannot create " + outName_);
        return true;
    }

    // Reads the input in blocks; `step` turns each block (and, with
    // size 0 at the end, the end of input) into output bytes.
    template <typename Step>
    bool pump(Step step)
    {
        std::vector<std::uint8_t> block(256 * 1024);
        std::string produced;
        for (;;) {
            std::size_t n = std::fread(block.data(), 1, block.size(), in_);
            if (n == 0 && std::ferror(in_))
                return abandon("read error on " + inName_);
            produced.clear();
            std::string error;
            if (!step(block.data(), n, produced, error))
                return abandon(inName_ + ": " + error);
            if (!produced.empty() &&
                std::fwrite(produced.data(), 1, produced.size(), out_) != produced.size())
                return abandon("write error on " + outName_);
            if (n == 0)
                break;
        }
        bool closed = std::fclose(out_) == 0;
        out_ = nullptr;
        if (!closed)
            return abandon("write error on " + outName_);
        return true;
    }

private:
    bool fail(const std::string& message)
    {
        std::fprintf(stderr, "wincomp: %s\n", message.c_str());
        return false;
    }
    // The output is incomplete: it goes.
    bool abandon(const std::string& message)
    {
        if (out_) {
            std::fclose(out_);
            out_ = nullptr;
        }
        std::remove(outName_.c_str());
        return fail(message);
    }

    std::string inName_, outName_;
    std::FILE* in_ = nullptr;
    std::FILE* out_ = nullptr;
};

bool compressFile(const std::string& name, const Options& o)
{
    if (endsWithZ(name)) {
        std::fprintf(stderr, "wincomp: %s already has a .z suffix\n", name.c_str());
        return false;
    }
    Job job(name, name + ".z");
    if (!job.open(o.force))
        return false;
    lzw::Encoder encoder(o.bits);
    return job.pump([&](const std::uint8_t* data, std::size_t n, std::string& out, std::string&) {
        if (n > 0)
            encoder.write(data, n, out);
        else
            encoder.finish(out);
        return true;
    });
}

bool expandFile(const std::string& name, const Options& o)
{
    std::string in = endsWithZ(name) ? name : name + ".z";
    std::string out = endsWithZ(name) ? name.substr(0, name.size() - 2) : name;
    Job job(in, out);
    if (!job.open(o.force))
        return false;
    lzw::Decoder decoder;
    return job.pump(
        [&](const std::uint8_t* data, std::size_t n, std::string& produced, std::string& error) {
            lzw::Decoder::Status s = n > 0 ? decoder.write(data, n, produced) : decoder.finish();
            if (s != lzw::Decoder::Status::kOk) {
                error = lzw::describe(s);
                return false;
            }
            return true;
        });
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o))
        return usage();
    bool ok = true;
    for (const std::string& f : o.files)
        ok = (o.expand ? expandFile(f, o) : compressFile(f, o)) && ok;
    return ok ? 0 : 1;
}
