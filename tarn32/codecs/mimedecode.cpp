#include "mimedecode.h"

#include "bytereader.h"
#include "codecplatform.h"
#include "frame/stdiofile.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

namespace tarn {

const char kMimeScratchName[] = "$$$$$$$$.$$$";

bool isWordChar(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '/';
}

bool matchesKeyword(const std::string& word, const char* keyword)
{
    return !word.empty() && word.size() <= std::strlen(keyword) &&
           strncasecmp(word.c_str(), keyword, word.size()) == 0;
}

namespace {
bool endsScannedLine(unsigned char c) { return c < ' ' || c >= 0x80; }
}  // namespace

HeaderScanner::HeaderScanner(const char* line) : p_(reinterpret_cast<const unsigned char*>(line)) {}

std::string HeaderScanner::field()
{
    while (*p_ == ' ')
        ++p_;
    lastStart_ = reinterpret_cast<const char*>(p_);
    std::string word;
    while (isWordChar(*p_))
        word += static_cast<char>(*p_++);
    if (endsScannedLine(*p_))
        ended_ = true;
    nextKind_ = Kind::parameter;
    return word;
}

// Reads the next word of any kind. False once the line has ended.
bool HeaderScanner::nextWord(Kind& kind, std::string& word)
{
    if (ended_)
        return false;
    // The separator run between the last word and this one.
    bool runStarts = true;
    while (!isWordChar(*p_)) {
        unsigned char c = *p_;
        if (endsScannedLine(c)) {
            ended_ = true;
            return false;
        }
        if (c == ' ') {
            runStarts = true;
        } else if (runStarts) {
            if (c == ';')
                nextKind_ = Kind::parameter;
            else if (c == '=')
                nextKind_ = Kind::value;
            runStarts = false;
        }
        ++p_;
    }
    kind = nextKind_;
    lastStart_ = reinterpret_cast<const char*>(p_);
    word.clear();
    while (isWordChar(*p_))
        word += static_cast<char>(*p_++);
    // The kind of the following word, fixed as the scanner leaves this one.
    if (kind == Kind::parameter)
        nextKind_ = (*p_ == ';') ? Kind::parameter : Kind::value;
    else
        nextKind_ = Kind::parameter;
    if (endsScannedLine(*p_))
        ended_ = true;  // the word still counts
    return true;
}

std::string HeaderScanner::next(Kind kind)
{
    Kind k;
    std::string word;
    while (nextWord(k, word)) {
        if (k == kind)
            return word;
    }
    return std::string();
}

bool isDataLine(const char* line)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
    if (*p == '\n' || *p == 0)
        return false;
    for (; *p && *p != '\n'; ++p) {
        if (Base64Accumulator::value(*p) < 0 && *p != '=')
            return false;
    }
    return true;
}

namespace {
struct Base64Values {
    signed char of[256];
    Base64Values()
    {
        const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (signed char& v : of)
            v = -1;
        for (int i = 0; i < 64; ++i)
            of[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    }
};
const Base64Values kBase64;
}  // namespace

int Base64Accumulator::value(unsigned char c) { return kBase64.of[c]; }

bool Base64Accumulator::decodeLine(const char* line, std::string* out)
{
    // Locals and a small buffer: the bytes go to `out` in one append.
    unsigned acc = acc_;
    int bits = bits_;
    char bytes[64];
    std::size_t n = 0;
    bool goesOn = true;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(line);; ++p) {
        int v = kBase64.of[*p];
        if (v < 0) {
            // A character outside the alphabet ends the part; the leftover
            // bits are dropped with it.
            goesOn = *p == '\n' || *p == 0;
            break;
        }
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes[n++] = static_cast<char>((acc >> bits) & 0xFF);
            if (n == sizeof bytes) {
                if (out)
                    out->append(bytes, n);
                n = 0;
            }
        }
    }
    if (out)
        out->append(bytes, n);
    acc_ = acc;
    bits_ = bits;
    return goesOn;
}

namespace {

// One call of MIMEDECODE.
class MimeDecode {
public:
    MimeDecode(const std::string& outPath) : outPath_(outPath), attachmentName_(outPath) {}
    int run(const std::string& inPath);

private:
    enum class PartEnd { endTest, badCharacter, endOfInput, nameConflict };

    bool readLine();
    PartEnd runPart();
    bool handleHeader(const char* line);  // false on the name conflict
    bool takeName(const char* valueStart);
    bool decodeBody(const char* line);
    void writeBytes();

    std::string outPath_;
    std::string attachmentName_;
    StdioFile in_;
    ByteReader reader_;  // reads in_
    StdioFile out_;
    char line_[kMimeLineWidth];
    std::string bytes_;  // decoded, not yet written
    Base64Accumulator acc_;
    bool bodyMode_ = false;
    bool keepName_ = true;
    bool writeFailed_ = false;  // decoded bytes that did not all reach the file
    bool replaceAtEnd_ = false;
    bool firstPart_ = true;
    bool notBase64_ = false;
    bool lineRead_ = false;
};

// A line that the end of the input cuts off (no line feed before it) is
// not used: reaching the end ends the part first.
bool MimeDecode::readLine()
{
    if (!reader_.readPiece(line_, sizeof line_))
        return false;
    return !reader_.hitEnd();
}

bool MimeDecode::takeName(const char* valueStart)
{
    // Up to the next white space, then cut at the first non-word character.
    std::size_t n = 0;
    while (n < kMimeLineWidth - 1 && valueStart[n] && !std::strchr(" \t\r\n\v\f", valueStart[n]))
        ++n;
    std::size_t cut = 0;
    while (cut < n && isWordChar(static_cast<unsigned char>(valueStart[cut])))
        ++cut;
    attachmentName_.assign(valueStart, cut);
    if (strcasecmp(attachmentName_.c_str(), outPath_.c_str()) != 0) {
        keepName_ = false;
        return true;
    }
    return !replaceAtEnd_;
}

bool MimeDecode::handleHeader(const char* line)
{
    HeaderScanner scan(line);
    std::string field = scan.field();
    if (matchesKeyword(field, "Content-Type")) {
        for (;;) {
            std::string param = scan.next(HeaderScanner::Kind::parameter);
            if (param.empty())
                break;
            if (!matchesKeyword(param, "name"))
                continue;
            std::string value = scan.next(HeaderScanner::Kind::value);
            if (value.empty())
                break;
            if ((keepName_ || !firstPart_) && !takeName(scan.lastWordStart()))
                return false;
        }
    } else if (matchesKeyword(field, "Content-transfer-encoding")) {
        notBase64_ = true;
        for (;;) {
            std::string param = scan.next(HeaderScanner::Kind::parameter);
            if (param.empty())
                break;
            if (matchesKeyword(param, "base64"))
                notBase64_ = false;
        }
    }
    return true;
}

bool MimeDecode::decodeBody(const char* line)
{
    bool goesOn = acc_.decodeLine(line, out_ ? &bytes_ : nullptr);
    if (bytes_.size() >= 64 * 1024)
        writeBytes();
    return goesOn;
}

void MimeDecode::writeBytes()
{
    if (!bytes_.empty() && std::fwrite(bytes_.data(), 1, bytes_.size(), out_.get()) != bytes_.size())
        writeFailed_ = true;
    bytes_.clear();
}

MimeDecode::PartEnd MimeDecode::runPart()
{
    acc_.clear();
    bodyMode_ = false;
    lineRead_ = false;
    while (readLine()) {
        lineRead_ = true;
        if (!bodyMode_) {
            if (!isDataLine(line_)) {
                if (!handleHeader(line_))
                    return PartEnd::nameConflict;
                continue;
            }
            bodyMode_ = true;
            if (notBase64_)
                continue;  // skipped, but the part stays in body mode
        } else {
            unsigned char first = static_cast<unsigned char>(line_[0]);
            if (first == '\n' || first < '+' || first >= 0x80)
                return PartEnd::endTest;
        }
        if (!decodeBody(line_))
            return PartEnd::badCharacter;
    }
    return PartEnd::endOfInput;
}

int MimeDecode::run(const std::string& inPath)
{
    if (!in_.open(inPath, "r"))
        return -1;
    reader_.attach(in_.get());
    if (!out_.open(outPath_, "wb"))
        return -1;
    for (;;) {
        PartEnd end = runPart();
        if (end == PartEnd::nameConflict)
            return -1;
        if (out_)
            writeBytes();
        if (!out_.close())
            writeFailed_ = true;
        if (keepName_) {
            replaceAtEnd_ = true;
            if (lineRead_ && !bodyMode_)
                deleteFile(kMimeScratchName);
        }
        firstPart_ = false;
        attachmentName_.clear();
        if (end == PartEnd::endOfInput)
            break;
    }
    if (writeFailed_) {
        // A cut-off attachment (a full disk) is removed, and the call fails.
        deleteFile(outPath_);
        return -1;
    }
    if (replaceAtEnd_) {
        deleteFile(outPath_);
        moveFile(kMimeScratchName, outPath_);
    }
    return 0;
}

}  // namespace

int mimeDecodeFile(const std::string& inPath, const std::string& outPath)
{
    if (outPath.size() >= kMimeLineWidth)
        return -1;
    return MimeDecode(outPath).run(inPath);
}

}  // namespace tarn
