#include "mimeencode.h"

#include "stdiofile.h"

#include <cstdio>
#include <vector>

namespace tarn {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 60;

}  // namespace

void Base64LineEncoder::putChar(char c, std::string& out)
{
    out += c;
    if (++column_ == kLineLength) {
        out += '\n';
        column_ = 0;
    }
}

void Base64LineEncoder::feed(const unsigned char* bytes, std::size_t n, std::string& out)
{
    for (std::size_t i = 0; i < n; ++i) {
        group_[groupSize_++] = bytes[i];
        if (groupSize_ < 3)
            continue;
        unsigned v = (group_[0] << 16) | (group_[1] << 8) | group_[2];
        putChar(kAlphabet[(v >> 18) & 63], out);
        putChar(kAlphabet[(v >> 12) & 63], out);
        putChar(kAlphabet[(v >> 6) & 63], out);
        putChar(kAlphabet[v & 63], out);
        groupSize_ = 0;
    }
}

void Base64LineEncoder::finish(std::string& out)
{
    if (groupSize_ > 0) {
        unsigned v = group_[0] << 16;
        if (groupSize_ == 2)
            v |= group_[1] << 8;
        putChar(kAlphabet[(v >> 18) & 63], out);
        putChar(kAlphabet[(v >> 12) & 63], out);
        putChar(groupSize_ == 2 ? kAlphabet[(v >> 6) & 63] : '=', out);
        putChar('=', out);
        groupSize_ = 0;
    }
    if (column_ > 0) {
        out += '\n';
        column_ = 0;
    }
}

int mimeEncodeFile(const std::string& inPath, const std::string& outPath,
                   const std::string& attachmentName)
{
    StdioFile in;
    if (!in.open(inPath, "rb"))
        return -1;
    StdioFile out;
    if (!out.open(outPath, "wb"))
        return -1;
    std::fprintf(out.get(),
                 "Content-Type: application/octet-stream; charset=us-ascii; name=\"%s\"\n"
                 "Content-Disposition: attachment; filename=\"%s\"\n"
                 "Content-transfer-encoding: base64\n\n",
                 attachmentName.c_str(), attachmentName.c_str());

    Base64LineEncoder encoder;
    std::vector<unsigned char> chunk(45 * 1024);
    std::string text;
    std::size_t n;
    bool written = !std::ferror(out.get());
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in.get())) > 0) {
        text.clear();
        encoder.feed(chunk.data(), n, text);
        written = written && std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    }
    text.clear();
    encoder.finish(text);
    written = written && std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    // A part that could not be written whole (a full disk) is no part: it
    // is removed and the call fails, rather than leave a cut-off attachment.
    if (!out.close() || !written) {
        std::remove(outPath.c_str());
        return -1;
    }
    return 0;
}

}  // namespace tarn
