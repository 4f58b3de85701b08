#include "mimedecode.h"

#include "codecplatform.h"
#include "stdiofile.h"

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

int Base64Accumulator::value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool Base64Accumulator::decodeLine(const char* line, std::string* out)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(line); *p && *p != '\n';
         ++p) {
        int v = value(*p);
        if (v < 0)
            return false;  // the leftover bits are dropped with the part
        acc_ = (acc_ << 6) | static_cast<unsigned>(v);
        bits_ += 6;
        if (bits_ >= 8) {
            bits_ -= 8;
            if (out)
                *out += static_cast<char>((acc_ >> bits_) & 0xFF);
        }
    }
    return true;
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

    std::string outPath_;
    std::string attachmentName_;
    StdioFile in_;
    StdioFile out_;
    char line_[kMimeLineWidth];
    std::string bytes_;
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
    if (!std::fgets(line_, sizeof line_, in_.get()))
        return false;
    return !std::feof(in_.get());
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
    bytes_.clear();
    bool goesOn = acc_.decodeLine(line, out_ ? &bytes_ : nullptr);
    if (!bytes_.empty() && std::fwrite(bytes_.data(), 1, bytes_.size(), out_.get()) != bytes_.size())
        writeFailed_ = true;
    return goesOn;
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
    if (!out_.open(outPath_, "wb"))
        return -1;
    for (;;) {
        PartEnd end = runPart();
        if (end == PartEnd::nameConflict)
            return -1;
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
