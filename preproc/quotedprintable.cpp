#include "quotedprintable.h"

#include "codecplatform.h"
#include "codecstate.h"
#include "isoconvert.h"
#include "stdiofile.h"

#include <cstdio>

namespace tarn {

namespace {

bool isPlain(int c) { return (c >= 33 && c <= 60) || (c >= 62 && c <= 126); }

class Writer {
public:
    Writer(ByteSource& source, ByteSink& sink) : source_(source), sink_(sink) {}

    void run()
    {
        codecState().qpColumn = 0;
        int c = nextMapped();
        while (c != 0)
            c = handle(c);
    }

private:
    int nextMapped() { return mapOutputByte(static_cast<unsigned char>(source_.next())); }

    void put(const char* s, std::size_t n, int columns)
    {
        sink_.put(s, n);
        codecState().qpColumn += columns;
    }
    void lineBreak(const char* s, std::size_t n)
    {
        sink_.put(s, n);
        codecState().qpColumn = 0;
    }

    // Writes byte c; returns the next byte to handle (0 at the end).
    int handle(int c)
    {
        int& column = codecState().qpColumn;
        if (c == '\n') {
            lineBreak("\n", 1);
            return nextMapped();
        }
        if (column >= 75 || (!isPlain(c) && column >= 73))
            lineBreak("=\n", 2);
        char ch = static_cast<char>(c);
        if (isPlain(c)) {
            put(&ch, 1, 1);
        } else if (c == ' ' || c == '\t') {
            // A blank before a line end or the end of the input must not be
            // the last character of its line.
            int n = nextMapped();
            if (n == '\n' || n == '\r' || n == 0) {
                const char tail[3] = {ch, '=', '\n'};
                lineBreak(tail, 3);
            } else {
                put(&ch, 1, 1);
            }
            return n;
        } else if (c == '=') {
            put("=3D", 3, 3);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "=%02X", static_cast<unsigned>(c));
            put(hex, 3, 3);
        }
        return nextMapped();
    }

    ByteSource& source_;
    ByteSink& sink_;
};

// Reads and writes in blocks: the writer asks for one byte at a time.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* f) : f_(f) {}
    int next() override
    {
        if (at_ == size_) {
            size_ = std::fread(buffer_, 1, sizeof buffer_, f_);
            at_ = 0;
            if (size_ == 0)
                return 0;
        }
        return static_cast<unsigned char>(buffer_[at_++]);
    }

private:
    std::FILE* f_;
    char buffer_[16384];
    std::size_t at_ = 0;
    std::size_t size_ = 0;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* f) : f_(f) {}
    ~FileSink() override { flush(); }
    void put(const char* bytes, std::size_t n) override
    {
        text_.append(bytes, n);
        if (text_.size() >= 16384)
            flush();
    }
    void flush()
    {
        std::fwrite(text_.data(), 1, text_.size(), f_);
        text_.clear();
    }

private:
    std::FILE* f_;
    std::string text_;
};

}  // namespace

void writeQuotedPrintable(ByteSource& source, ByteSink& sink)
{
    Writer(source, sink).run();
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
    sink.flush();

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
