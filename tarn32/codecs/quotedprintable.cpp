#include "quotedprintable.h"

#include "codecplatform.h"
#include "codecstate.h"
#include "frame/stdiofile.h"
#include "isoconvert.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace tarn {

namespace {

// The writer. Every byte other than a line feed, a blank and the NUL has a
// fixed text of one or three characters (plain, or "=XY"), taken from a
// table, so that plain and escaped bytes take the same path.
class Writer {
public:
    Writer(ByteSource& source, ByteSink& sink) : source_(source), sink_(sink)
    {
        static const char hex[] = "0123456789ABCDEF";
        for (int b = 0; b < 256; ++b) {
            unsigned char c = mapOutputByte(static_cast<unsigned char>(b));
            Text& t = text_[b];
            t.mapped = c;
            t.chars[0] = static_cast<char>(c);
            if (c == 0 || c == '\n' || c == ' ' || c == '\t') {
                t.length = 0;  // handled one by one
            } else if ((c >= 33 && c <= 60) || (c >= 62 && c <= 126)) {
                t.length = 1;
            } else {  // "=" too: it is 0x3D
                t.chars[0] = '=';
                t.chars[1] = hex[c >> 4];
                t.chars[2] = hex[c & 15];
                t.length = 3;
            }
        }
    }

    void run()
    {
        // The state lives in locals, so that the compiler keeps it in
        // registers across the character stores.
        unsigned column = 0;
        char blankHeld = 0;  // a blank whose line end is not yet decided
        bool ended = false;
        std::size_t at = 0;
        char* const out = out_;
        auto softBreak = [&] {
            out[at++] = '=';
            out[at++] = '\n';
            column = 0;
        };
        auto endLineAfterBlank = [&] {
            out[at++] = blankHeld;
            softBreak();
            blankHeld = 0;
        };
        auto put = [&](const Text& t) {
            // A soft line break where the text would pass column 75: at 75
            // before a plain byte, at 73 before an escape.
            if (column + t.length > 75)
                softBreak();
            std::memcpy(out + at, t.chars, sizeof t.chars);
            at += t.length;
            column += t.length;
        };
        std::size_t n;
        while (!ended && (n = source_.read(in_, sizeof in_)) > 0) {
            for (std::size_t i = 0; i < n; ++i) {
                if (at > kOutSize - kMostPerByte) {
                    sink_.put(out, at);
                    at = 0;
                }
                const Text& t = text_[static_cast<unsigned char>(in_[i])];
                if (t.length != 0 && !blankHeld) {
                    put(t);
                    continue;
                }
                unsigned char c = t.mapped;
                if (blankHeld) {
                    // A blank before a line end or the end of the input
                    // must not be the last character of its line.
                    if (c == '\n' || c == '\r' || c == 0) {
                        endLineAfterBlank();
                    } else {
                        out[at++] = blankHeld;
                        ++column;
                        blankHeld = 0;
                    }
                }
                if (t.length != 0) {
                    put(t);
                } else if (c == '\n') {
                    out[at++] = '\n';
                    column = 0;
                } else if (c == 0) {
                    ended = true;
                    break;
                } else {
                    // A blank may need "=" LF after it: it needs the room of
                    // an escape.
                    if (column >= 73)
                        softBreak();
                    blankHeld = static_cast<char>(c);
                }
            }
        }
        if (blankHeld)
            endLineAfterBlank();  // room is left by the check in the loop
        if (at > 0)
            sink_.put(out, at);
        codecState().qpColumn = static_cast<int>(column);
    }

private:
    struct Text {
        char chars[4];         // copied whole, `length` of them count
        unsigned length;       // 0 for the bytes handled one by one
        unsigned char mapped;  // the byte after the output mapping
    };
    static constexpr std::size_t kOutSize = 64 * 1024;
    // A held blank with its "=" LF, then a soft break and an escape.
    static constexpr std::size_t kMostPerByte = 8;

    ByteSource& source_;
    ByteSink& sink_;
    Text text_[256];
    char in_[64 * 1024];
    char out_[kOutSize + 4];  // + 4: a text is copied whole
};

class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* f) : f_(f) {}
    std::size_t read(char* buffer, std::size_t size) override
    {
        return std::fread(buffer, 1, size, f_);
    }

private:
    std::FILE* f_;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* f) : f_(f) {}
    void put(const char* bytes, std::size_t n) override { std::fwrite(bytes, 1, n, f_); }

private:
    std::FILE* f_;
};

}  // namespace

void writeQuotedPrintable(ByteSource& source, ByteSink& sink)
{
    std::make_unique<Writer>(source, sink)->run();  // 128 KB of buffers
}

QuotedResult writeQuotedFile(const std::string& path)
{
    selectNoMapping();
    const QuotedResult cannotOpenOut{-1, "Cannot open out file " + path + "\r\n"};

    StdioFile in;
    if (!in.open(path, "rb"))
        return {-1, "Cannot open in bound file \r\n"};
    std::string tempPath;
    if (!makeScratchFileBeside(path, tempPath))
        return cannotOpenOut;
    StdioFile out;
    if (!out.open(tempPath, "wb")) {
        deleteFile(tempPath);
        return cannotOpenOut;
    }
    FileSource source(in.get());
    FileSink sink(out.get());
    writeQuotedPrintable(source, sink);

    bool readOk = !std::ferror(in.get());
    bool writeOk = !std::ferror(out.get());
    in.close();
    writeOk = out.close() && writeOk;
    if (!readOk || !writeOk || !replaceFile(tempPath, path)) {
        deleteFile(tempPath);
        return readOk ? cannotOpenOut : QuotedResult{-1, "Cannot open in bound file \r\n"};
    }
    return {0, ""};
}

}  // namespace tarn
