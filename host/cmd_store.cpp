// Subcommands: single messages of the store. read-message and read-mail hand
// a stored message over in chunks exactly as a host must loop (next offset =
// offset + result, count reduced by it, until the result is the remaining
// count + 1); extract-body takes the body only; append-message adds a
// message to an area; attach copies a file into a folder or its "hold".
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "mailindex.h"
#include "options.h"
#include "report.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kTextBufferSize = 32302;  // the largest chunk, its CR and the NUL
constexpr int kErrorBufferSize = contract::kErrorBufferSize;

struct ChunkedRead {
    std::string text;          // all chunks, as handed over
    std::vector<int> results;  // per call
    std::string error;         // when a call failed
    bool ok = false;
};

// The host's loop over a read export.
ChunkedRead readInChunks(tarn32::Read* read, const std::string& store, int area, int offset,
                         int count)
{
    ChunkedRead r;
    std::vector<char> text(kTextBufferSize);
    char error[kErrorBufferSize] = "";
    for (;;) {
        int result = read(store.c_str(), area, offset, count, text.data(), error);
        r.results.push_back(result);
        if (result == -1) {
            r.error = error;
            return r;
        }
        r.text += text.data();
        if (result == count + 1 || result <= 0) {
            r.ok = result == count + 1;
            if (!r.ok)
                r.error = "unexpected result";
            return r;
        }
        offset += result;
        count -= result;
    }
}

// File bytes behind a handed-over text: each LF of the text came with a CR
// put before it.
long fileBytesOf(const std::string& text)
{
    long lf = 0;
    for (char c : text)
        lf += c == '\n';
    return static_cast<long>(text.size()) - lf;
}

// The body by _EXTRACTMESSAGE@24. Its result is the body length + 1 when the
// body came whole, the body bytes consumed when a chunk limit stopped it: the
// text's file bytes tell which. A longer body goes on by READMESSAGE behind
// the header, whose length an extract with count 0 gives (1 - result).
ChunkedRead readBody(tarn32::Read* extract, tarn32::Read* read, const std::string& store, int area,
                     int offset, int count)
{
    ChunkedRead r;
    std::vector<char> text(kTextBufferSize);
    char error[kErrorBufferSize] = "";
    int result = extract(store.c_str(), area, offset, count, text.data(), error);
    r.results.push_back(result);
    if (result == -1 && error[0]) {
        r.error = error;
        return r;
    }
    r.text = text.data();
    long got = fileBytesOf(r.text);
    if (result <= 0 || got == result - 1) {  // whole (a body of 0 or less is empty)
        r.ok = true;
        return r;
    }
    int skip = extract(store.c_str(), area, offset, 0, text.data(), error);
    r.results.push_back(skip);
    int header = 1 - skip;
    ChunkedRead rest = readInChunks(read, store, area, offset + header + result,
                                    count - header - result);
    r.text += rest.text;
    r.results.insert(r.results.end(), rest.results.begin(), rest.results.end());
    r.ok = rest.ok;
    r.error = rest.error;
    return r;
}

// Prints or writes the text and a summary line; 0 when the read succeeded.
int report(const ChunkedRead& r, const char* outPath, double ms)
{
    if (outPath) {
        FILE* f = std::fopen(outPath, "wb");
        if (!f || std::fwrite(r.text.data(), 1, r.text.size(), f) != r.text.size()) {
            if (f)
                std::fclose(f);
            return failure("cannot write %s", outPath);
        }
        std::fclose(f);
    } else {
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);  // the CR LF line ends as handed over
        std::fwrite(r.text.data(), 1, r.text.size(), stdout);
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_TEXT);
    }
    std::string results;
    for (std::size_t i = 0; i < r.results.size(); ++i) {
        if (r.results.size() > 6 && i == 3) {
            results += " ...";
            i = r.results.size() - 2;
        }
        results += (results.empty() ? "" : " ") + std::to_string(r.results[i]);
    }
    std::fflush(stdout);
    std::fprintf(outPath ? stdout : stderr, "-- %zu call%s (results %s), %zu characters, %.1f ms\n",
                 r.results.size(), r.results.size() == 1 ? "" : "s", results.c_str(), r.text.size(),
                 ms);
    if (!r.ok)
        return failure("read failed: %s", r.error.c_str());
    return kExitDone;
}

// "--out FILE" and flags among the arguments after the first `fixed` ones.
struct Options {
    const char* out = nullptr;
    const char* exportName = "READMESSAGE";
    bool ok = true;
};

Options parseReadOptions(const Args& args, std::size_t fixed)
{
    Options o;
    for (std::size_t i = fixed; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size())
            o.out = args[++i].c_str();
        else if (args[i] == "--news")
            o.exportName = "READNEWS";
        else if (args[i] == "--mapi")
            o.exportName = "READMAPIMSG";
        else if (args[i] == "--body")
            o.exportName = "_EXTRACTMESSAGE@24";
        else
            o.ok = false;
    }
    return o;
}

double msSince(LARGE_INTEGER start)
{
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(freq.QuadPart);
}

int runRead(const char* exportName, const std::string& store, int area, int offset, int count,
            const char* out)
{
    Library dll("tarn32.dll");
    auto read = dll.get<tarn32::Read>(exportName);
    if (!read)
        return kExitFailed;
    auto next = dll.get<tarn32::Read>("READMESSAGE");
    if (!next)
        return kExitFailed;
    bool body = std::strcmp(exportName, "_EXTRACTMESSAGE@24") == 0;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    ChunkedRead r = body ? readBody(read, next, store, area, offset, count)
                         : readInChunks(read, store, area, offset, count);
    return report(r, out, msSince(start));
}

}  // namespace

int cmdReadMessage(const Args& args)
{
    if (args.size() < 4)
        return usageError("read-message");
    Options o = parseReadOptions(args, 4);
    if (!o.ok)
        return usageError("read-message");
    CommandLine line({args.begin(), args.begin() + 4}, {});
    long area, offset, count;
    if (!line.number(1, "area", 0, 2147483647, area) ||
        !line.number(2, "offset", 0, 2147483647, offset) ||
        !line.number(3, "count", 0, 2147483647, count))
        return usageProblem("read-message", "%s", line.error().c_str());
    return runRead(o.exportName, args[0], static_cast<int>(area), static_cast<int>(offset),
                   static_cast<int>(count), o.out);
}

int cmdReadMail(const Args& args)
{
    if (args.size() < 2)
        return usageError("read-mail");
    Options o = parseReadOptions(args, 2);
    if (!o.ok || (std::strcmp(o.exportName, "READMESSAGE") != 0 &&
                  std::strcmp(o.exportName, "_EXTRACTMESSAGE@24") != 0))
        return usageError("read-mail");
    long n;
    if (!parseNumber(args[1], 1, 2147483647, n))
        return usageProblem("read-mail", "record must be a whole number from 1 up, not '%s'",
                            args[1].c_str());
    std::vector<MailRecord> records = readMailIndex(args[0] + "\\mail.hdr");
    if (n > static_cast<long>(records.size()))
        return failure("%s\\mail.hdr has %zu records, no record %ld", args[0].c_str(),
                       records.size(), n);
    const MailRecord& rec = records[n - 1];
    // The importer records the start 0 of the first message in an empty area
    // as 1; any later message starts where the one before it ended.
    long start = n == 1 && rec.start == 1 ? 0 : rec.start;
    std::fflush(stdout);
    std::fprintf(stderr, "-- record %ld: %s, %s, bytes %ld to %ld\n", n, rec.from.c_str(),
                 rec.subject.c_str(), start, rec.end);
    return runRead(o.exportName, args[0], 0, static_cast<int>(start),
                   static_cast<int>(rec.end - start), o.out);
}

int cmdAppendMessage(const Args& args)
{
    if (args.size() < 3)
        return usageError("append-message");
    CommandLine line(args, {{"--mform", false}, {"--repeat", true}});
    if (!line.error().empty())
        return usageProblem("append-message", "%s", line.error().c_str());
    if (line.positional().size() != 3)
        return usageError("append-message");
    const char* exportName = line.has("--mform") ? "WRITEMFORM" : "WRITEMESSAGE";
    long repeat, areaNumber;
    if (!line.number("--repeat", 1, 1000000, 1, repeat) ||
        !line.number(1, "area", 0, 2147483647, areaNumber))
        return usageProblem("append-message", "%s", line.error().c_str());
    const std::string& file = line.positional()[2];
    std::string text;
    if (!readWholeFile(file, text) || text.find('\0') != std::string::npos)
        return usageProblem("append-message", "<file>: cannot read %s as a text", file.c_str());
    Library dll("tarn32.dll");
    auto write = dll.get<tarn32::Write>(exportName);
    if (!write)
        return kExitFailed;
    int area = static_cast<int>(areaNumber);
    const std::string& store = line.positional()[0];
    int first = 0, start = 0, length = 0;
    char error[kErrorBufferSize] = "";
    LARGE_INTEGER t0;
    QueryPerformanceCounter(&t0);
    for (long i = 0; i < repeat; ++i) {
        if (write(store.c_str(), area, &start, &length, text.c_str(), error) != 0)
            return failure("%s failed after %ld message%s: %s", exportName, i, i == 1 ? "" : "s",
                           error);
        if (i == 0)
            first = start;
    }
    double ms = msSince(t0);
    if (repeat == 1)
        std::printf("appended to area %d: start offset %d, length %d\n", area, start, length);
    else
        std::printf("appended %ld messages to area %d: first at %d, last at %d, length %d each, "
                    "%.1f ms\n", repeat, area, first, start, length, ms);
    return 0;
}

int cmdAttach(const Args& args)
{
    if (args.size() < 3 || args.size() > 4 || (args.size() == 4 && args[3] != "--hold"))
        return usageError("attach");
    Library dll("tarn32.dll");
    auto attach = dll.get<tarn32::FileAttach>("FILEATTACH");
    if (!attach)
        return kExitFailed;
    int hold = args.size() == 4 ? 1 : 0;
    char error[kErrorBufferSize] = "";
    if (attach(args[0].c_str(), args[1].c_str(), args[2].c_str(), error, hold) != 0)
        return failure("FILEATTACH failed: %s", error);
    std::printf("%s %s\\%s%s\n", hold ? "copied to" : "appended to", args[0].c_str(),
                hold ? "hold\\" : "", args[2].c_str());
    return 0;
}

// The benchmarks' baseline: the same bytes through plain C runtime calls.
int cmdPlainIo(const Args& args)
{
    LARGE_INTEGER t0;
    QueryPerformanceCounter(&t0);
    if (args.size() == 3 && args[0] == "read") {
        // Reads the file whole in 32000-byte pieces, one open per piece, as
        // the chunked read does.
        std::string all;
        long offset = 0;
        std::vector<char> block(32000);
        for (;;) {
            FILE* f = std::fopen(args[1].c_str(), "rb");
            if (!f || std::fseek(f, offset, SEEK_SET) != 0)
                return 1;
            std::size_t n = std::fread(block.data(), 1, block.size(), f);
            std::fclose(f);
            all.append(block.data(), n);
            offset += static_cast<long>(n);
            if (n < block.size())
                break;
        }
        double ms = msSince(t0);
        FILE* out = std::fopen(args[2].c_str(), "wb");
        if (!out)
            return 1;
        std::fwrite(all.data(), 1, all.size(), out);
        std::fclose(out);
        std::printf("read %zu bytes, %.1f ms\n", all.size(), ms);
        return 0;
    }
    if (args.size() == 4 && args[0] == "append") {
        // Appends the file N times, one open per append.
        std::string text;
        if (!readWholeFile(args[2], text))
            return 1;
        long repeat;
        if (!parseNumber(args[3], 0, 1000000, repeat))
            return usageProblem("plain-io", "n must be a whole number from 0 to 1000000, not '%s'",
                                args[3].c_str());
        for (long i = 0; i < repeat; ++i) {
            FILE* f = std::fopen(args[1].c_str(), "ab");
            if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size())
                return 1;
            std::fclose(f);
        }
        std::printf("appended %ld times %zu bytes, %.1f ms\n", repeat, text.size(), msSince(t0));
        return 0;
    }
    return usageError("plain-io");
}
