// ISO-8859-1 quoted-printable text to code page 850 (DECODE_ISO), and the
// library-wide output mapping that the quoted-printable writer also uses.
//
// The input is read in pieces of at most 255 bytes up to and including a line
// feed; each piece is decoded as quoted-printable on its own (an escape split
// between two pieces is lost), mapped byte by byte and written up to its
// first NUL. Malformed escapes are decoded by the value formula, never
// reported. No Win32 here.
#pragma once

#include <string>

namespace tarn {

constexpr int kIsoLineWidth = 256;  // line buffer: 255 bytes and the NUL

// Selects the library-wide output mapping.
void selectLatin1ToCp850();
void selectNoMapping();

// One byte through the selected mapping; bytes below 0x80 never change.
unsigned char mapOutputByte(unsigned char b);

// The escape digit value: c - 48 for a decimal digit, c - 55 otherwise.
int qpDigitValue(unsigned char c);

// Decodes one NUL-terminated piece in place as quoted-printable. A soft line
// break ("=" before a line feed, a carriage return or the end) drops the rest
// of the piece; "=" and one character at the end are dropped; "=XY" gives
// (16 v(X) + v(Y)) mod 256. The result is NUL-terminated and never longer.
void decodeQuotedLine(char* line);

struct IsoResult {
    int code;            // 0, or -2 when a file cannot be opened
    std::string status;  // "Success" or the error text
};

// DECODE_ISO: converts inPath into outPath.
IsoResult decodeIsoFile(const std::string& inPath, const std::string& outPath);

}  // namespace tarn
