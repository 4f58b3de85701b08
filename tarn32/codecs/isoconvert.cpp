#include "isoconvert.h"

#include "bytereader.h"
#include "codecstate.h"
#include "cp850table.h"
#include "frame/stdiofile.h"

#include <cstdio>
#include <vector>

namespace tarn {

void selectLatin1ToCp850() { codecState().mapping = OutputMapping::latin1ToCp850; }
void selectNoMapping() { codecState().mapping = OutputMapping::none; }

unsigned char mapOutputByte(unsigned char b)
{
    if (b < 0x80 || codecState().mapping == OutputMapping::none)
        return b;
    return kLatin1ToCp850[b - 0x80];
}

int qpDigitValue(unsigned char c)
{
    return (c >= '0' && c <= '9') ? c - 48 : c - 55;
}

void decodeQuotedLine(char* line)
{
    unsigned char* in = reinterpret_cast<unsigned char*>(line);
    unsigned char* out = in;
    while (*in) {
        if (*in != '=') {
            *out++ = *in++;
            continue;
        }
        unsigned char x = in[1];
        if (x == '\n' || x == '\r' || x == 0)
            break;  // soft line break: the rest of the piece goes
        unsigned char y = in[2];
        if (y == 0)
            break;  // "=" and one character at the end of the piece
        *out++ = static_cast<unsigned char>((16 * qpDigitValue(x) + qpDigitValue(y)) & 0xFF);
        in += 3;
    }
    *out = 0;
}

IsoResult decodeIsoFile(const std::string& inPath, const std::string& outPath)
{
    StdioFile in;
    if (!in.open(inPath, "rb"))
        return {-2, " Error while opening input-file " + inPath + ".\n"};
    StdioFile out;
    if (!out.open(outPath, "wb"))
        return {-2, "Error while opening output-file " + outPath + "\n"};
    selectLatin1ToCp850();
    unsigned char map[256];
    for (int b = 0; b < 256; ++b)
        map[b] = mapOutputByte(static_cast<unsigned char>(b));

    ByteReader reader;
    reader.attach(in.get());
    constexpr std::size_t kOutPiece = 64 * 1024;
    std::vector<char> text(kOutPiece + kIsoLineWidth);
    std::size_t at = 0;
    char line[kIsoLineWidth];
    bool written = true;
    while (reader.readPiece(line, sizeof line)) {
        decodeQuotedLine(line);
        // A decoded NUL cuts the piece.
        for (const unsigned char* p = reinterpret_cast<unsigned char*>(line); *p; ++p)
            text[at++] = static_cast<char>(map[*p]);
        if (at >= kOutPiece) {
            written = written && std::fwrite(text.data(), 1, at, out.get()) == at;
            at = 0;
        }
    }
    written = written && std::fwrite(text.data(), 1, at, out.get()) == at;
    // Output that could not be written whole (a full disk) is removed rather
    // than left cut off behind a "Success".
    if (!out.close() || !written) {
        std::remove(outPath.c_str());
        return {-2, "Error while writing output-file " + outPath + "\n"};
    }
    return {0, "Success"};
}

}  // namespace tarn
