#include "mimeencode.h"

#include "frame/stdiofile.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace tarn {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 60;

// The two characters of every 12-bit value: a group of three bytes is two
// look-ups.
struct CharPairs {
    unsigned char pair[4096][2];
    CharPairs()
    {
        for (int v = 0; v < 4096; ++v) {
            pair[v][0] = static_cast<unsigned char>(kAlphabet[v >> 6]);
            pair[v][1] = static_cast<unsigned char>(kAlphabet[v & 63]);
        }
    }
};

const CharPairs& charPairs()
{
    static const CharPairs pairs;
    return pairs;
}

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
    std::size_t i = 0;
    while (groupSize_ > 0 && groupSize_ < 3 && i < n)
        group_[groupSize_++] = bytes[i++];
    if (groupSize_ == 3) {
        putGroup(group_, out);
        groupSize_ = 0;
    }
    // Whole groups straight into the text. A line holds 15 groups, so a
    // line feed only ever follows the fourth character of a group.
    std::size_t groups = (n - i) / 3;
    if (groups > 0) {
        std::size_t at = out.size();
        out.resize(at + groups * 4 + (column_ + groups * 4) / kLineLength);
        char* __restrict p = &out[at];
        const unsigned char* __restrict in = bytes;
        const CharPairs& pairs = charPairs();
        int column = column_;
        for (std::size_t g = 0; g < groups; ++g, i += 3) {
            unsigned v = (unsigned(in[i]) << 16) | (unsigned(in[i + 1]) << 8) | in[i + 2];
            std::memcpy(p, pairs.pair[v >> 12], 2);
            std::memcpy(p + 2, pairs.pair[v & 4095], 2);
            p += 4;
            column += 4;
            if (column == kLineLength) {
                *p++ = '\n';
                column = 0;
            }
        }
        column_ = column;
    }
    while (i < n)
        group_[groupSize_++] = bytes[i++];
}

void Base64LineEncoder::putGroup(const unsigned char* group, std::string& out)
{
    unsigned v = (group[0] << 16) | (group[1] << 8) | group[2];
    putChar(kAlphabet[(v >> 18) & 63], out);
    putChar(kAlphabet[(v >> 12) & 63], out);
    putChar(kAlphabet[(v >> 6) & 63], out);
    putChar(kAlphabet[v & 63], out);
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
    std::vector<unsigned char> chunk(45 * 4096);
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
