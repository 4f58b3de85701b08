#include "uucodec.h"

#include "bytereader.h"
#include "codecstate.h"
#include "frame/stdiofile.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

namespace {

constexpr std::size_t kStreamBuffer = 20480;
constexpr int kUuLinesPerRead = 4096;
constexpr int kLineWidth = 80;  // 79 characters and the NUL
constexpr int kMaxLineChars = (4 * 63 + 2) / 3;

const char kTag[] = "uucodec";

UuState& uu() { return codecState().uu; }

std::string lower(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool startsWith(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

std::size_t fileNameStart(const std::string& name)
{
    std::size_t cut = name.find_last_of("\\/:");
    return cut == std::string::npos ? 0 : cut + 1;
}

__attribute__((format(printf, 3, 0))) void vdiag(bool error, int line, const char* format, std::va_list ap)
{
    std::printf("%s ", kTag);
    if (line >= 0)
        std::printf("%s (%d) ", uu().inName.c_str(), line);
    std::printf("%s", error ? "error: " : "warning: ");
    std::vprintf(format, ap);
    std::printf(".\n");
}

// Checked as printf formats, like the C runtime's own.
__attribute__((format(printf, 1, 2))) void error(const char* format, ...)
{
    std::va_list ap;
    va_start(ap, format);
    vdiag(true, -1, format, ap);
    va_end(ap);
}
__attribute__((format(printf, 2, 3))) void errorAt(int line, const char* format, ...)
{
    std::va_list ap;
    va_start(ap, format);
    vdiag(true, line, format, ap);
    va_end(ap);
}
__attribute__((format(printf, 1, 2))) void warning(const char* format, ...)
{
    std::va_list ap;
    va_start(ap, format);
    vdiag(false, -1, format, ap);
    va_end(ap);
}
__attribute__((format(printf, 2, 3))) void warningAt(int line, const char* format, ...)
{
    std::va_list ap;
    va_start(ap, format);
    vdiag(false, line, format, ap);
    va_end(ap);
}

bool openBuffered(StdioFile& f, const std::string& path, const char* mode)
{
    if (!f.open(path, mode))
        return false;
    std::setvbuf(f.get(), nullptr, _IOFBF, kStreamBuffer);
    return true;
}

std::string withExtension(const std::string& name, const char* ext)
{
    std::string e = uuExtension(name);
    return name.substr(0, name.size() - e.size()) + ext;
}

// ---- encoding ---------------------------------------------------------

class Encoder {
public:
    explicit Encoder(const UuArgs& a) : a_(a) {}
    void run();

private:
    bool beginPart(bool first);

    const UuArgs& a_;
    StdioFile in_;
    StdioFile out_;
    std::string shown_;     // the name in the progress lines
    std::string recorded_;  // the name in the begin line
};

bool Encoder::beginPart(bool first)
{
    UuState& st = uu();
    if (!openBuffered(out_, st.outName, "wb")) {
        error("cannot open output file %s", st.outName.c_str());
        return false;
    }
    if (first) {
        std::printf("\n%s --- %s ---> %s\n", shown_.c_str(), st.method, st.outName.c_str());
        std::fprintf(out_.get(), "%s %s (%s)\n", "UUencode", "version 0.1", "Windows");
    } else {
        std::printf("%*s --- %s ---> %s\n", static_cast<int>(shown_.size()), "", st.method,
                    st.outName.c_str());
        std::fprintf(out_.get(), "part %d\n", st.part);
    }
    std::fprintf(out_.get(), "begin 644 %s\n", recorded_.c_str());
    st.line = 3;
    return true;
}

void Encoder::run()
{
    UuState& st = uu();
    if (!openBuffered(in_, st.inName, "rb")) {
        error("cannot open input file %s", st.inName.c_str());
        return;
    }
    st.outName = withExtension(a_.outFile.empty() ? st.inName : lower(a_.outFile), ".enc");
    if (st.outName.size() > kUuNameLimit) {
        error("file name too long %s", st.outName.c_str());
        return;
    }
    if (st.outName == st.inName) {
        error("input and output filename must differ");
        return;
    }
    shown_ = a_.beginName.empty() ? st.inName : a_.beginName;
    recorded_ = a_.beginName.empty() ? st.inName.substr(fileNameStart(st.inName)) : a_.beginName;
    if (!beginPart(true))
        return;

    // The input is read many lines at a time and their text written at once
    // (and before a part ends); a write that fails is reported for each of
    // its lines. Only the read that reaches the end of the file comes back
    // short, so only the last data line is short.
    const long long partLines = 16LL * (a_.maxKB > 0 ? a_.maxKB : 0);
    std::vector<unsigned char> bytes(kUuFullLineBytes * kUuLinesPerRead);
    std::vector<char> text(kUuLineTextMax * kUuLinesPerRead);
    const auto encoder = std::make_unique<UuLineEncoder>(st.alphabet);
    std::size_t textSize = 0;
    int textFirstLine = st.line;
    auto writeText = [&] {
        if (textSize > 0 && std::fwrite(text.data(), 1, textSize, out_.get()) != textSize) {
            for (int line = textFirstLine; line < st.line; ++line)
                errorAt(line, "write error on output file");
        }
        textSize = 0;
        textFirstLine = st.line;
    };
    bool atEnd = false;
    while (!atEnd) {
        std::size_t got = std::fread(bytes.data(), 1, bytes.size(), in_.get());
        atEnd = got < bytes.size();
        for (std::size_t at = 0; at < got; at += kUuFullLineBytes) {
            int d = static_cast<int>(got - at < kUuFullLineBytes ? got - at : kUuFullLineBytes);
            textSize += encoder->encode(&bytes[at], d, &text[textSize]);
            st.byteCount += d;
            ++st.line;
            if (partLines > 0 && st.line >= partLines) {
                writeText();
                if (!out_.close())
                    errorAt(st.line, "write error on output file");
                if (!uuPartName(st.outName, st.part + 1)) {
                    error("too many parts for %s", st.outName.c_str());
                    return;
                }
                ++st.part;
                if (!beginPart(false))
                    return;
                textFirstLine = st.line;
            }
        }
        writeText();
    }
    std::fprintf(out_.get(), "%c\n", st.alphabet[0]);
    std::fprintf(out_.get(), "end\n%ld bytes\n", st.byteCount);
    std::fprintf(out_.get(), "encoded into %d file(s)\n", st.part);
    // What the stream still holds is written as it closes.
    if (!out_.close())
        errorAt(st.line, "write error on output file");
    in_.close();

    StdioFile count;  // no stream buffer of its own: it holds one line
    if (count.open(a_.countDir + "\\quelp.dat", "wb"))
        std::fprintf(count.get(), "%d\r\n", st.part);
}

// ---- decoding ---------------------------------------------------------

class Decoder {
public:
    explicit Decoder(const UuArgs& a) : a_(a) {}
    void run();

private:
    int get();
    void unget(int c);
    bool findBegin(std::string& recorded);
    bool readPrivateAlphabet(const char* first, const char* second, int count);
    bool nextPart();
    int nextLengthChar();  // -1 when the call ends
    void decodeLine(int n);
    std::string readWord();
    void decodeBody();
    void write(const unsigned char* bytes, int n);
    void flushOutput();

    const UuArgs& a_;
    StdioFile in_;
    ByteReader reader_;  // reads in_
    StdioFile out_;
    std::string pending_;  // characters given back, read before the file
    bool lastFromReader_ = false;  // the last get() came from reader_
    bool privateAlphabet_ = false;
    // Decoded bytes not yet written, and the line of each write that put
    // bytes there: a write that fails is reported for each of them.
    std::vector<unsigned char> output_;
    std::vector<int> outputLines_;
};

constexpr std::size_t kOutputChunk = 64 * 1024;

int Decoder::get()
{
    if (!pending_.empty()) {
        lastFromReader_ = false;
        unsigned char c = static_cast<unsigned char>(pending_.front());
        pending_.erase(0, 1);
        return c;
    }
    lastFromReader_ = true;
    return reader_.get();
}

void Decoder::unget(int c)
{
    if (c == EOF)
        return;
    if (lastFromReader_ && pending_.empty()) {
        reader_.stepBack();
        lastFromReader_ = false;
        return;
    }
    pending_.insert(pending_.begin(), static_cast<char>(c));
}

void Decoder::write(const unsigned char* bytes, int n)
{
    output_.insert(output_.end(), bytes, bytes + n);
    outputLines_.push_back(uu().line);
    if (output_.size() >= kOutputChunk)
        flushOutput();
}

void Decoder::flushOutput()
{
    if (!output_.empty() && std::fwrite(output_.data(), 1, output_.size(), out_.get()) != output_.size()) {
        for (int line : outputLines_)
            errorAt(line, "write error on output file");
    }
    output_.clear();
    outputLines_.clear();
}

// The private alphabet: `count` characters from each of the texts (32 and
// 32 for "table", 64 from one line for "charmap"). Control characters, the
// line end and bytes of 0x80 and above cannot be told from the text around
// them, so an alphabet holding one is refused.
bool Decoder::readPrivateAlphabet(const char* first, const char* second, int count)
{
    UuState& st = uu();
    std::string chars = std::string(first).substr(0, count);
    if (second)
        chars += std::string(second).substr(0, count);
    bool usable = chars.size() == 64;
    for (char c : chars)
        usable = usable && static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x80;
    if (!usable) {
        errorAt(st.line, "unsupported alphabet in file %s", st.inName.c_str());
        return false;
    }
    std::memcpy(st.alphabet, chars.data(), 64);
    privateAlphabet_ = true;
    return true;
}

// Reads up to the begin line; its third word is the recorded name.
bool Decoder::findBegin(std::string& recorded)
{
    UuState& st = uu();
    char line[kLineWidth];
    char second[kLineWidth];
    for (;;) {
        if (!reader_.gets(line, sizeof line)) {
            error("nothing to decode in file %s", st.inName.c_str());
            return false;
        }
        ++st.line;
        if (startsWith(line, "begin"))
            break;
        if (startsWith(line, "table")) {
            char first[kLineWidth];
            bool both = reader_.gets(first, sizeof first) && ++st.line &&
                        reader_.gets(second, sizeof second) && ++st.line;
            if (!both) {
                error("nothing to decode in file %s", st.inName.c_str());
                return false;
            }
            if (!readPrivateAlphabet(first, second, 32))
                return false;
        } else if (startsWith(line, "charmap")) {
            if (!readPrivateAlphabet(std::strlen(line) > 8 ? line + 8 : "", nullptr, 64))
                return false;
        }
    }
    // The rest of an overlong begin line is not data.
    if (!std::strchr(line, '\n')) {
        int c;
        while ((c = reader_.get()) != EOF && c != '\n') {
        }
    }
    char words[3][kLineWidth] = {"", "", ""};
    std::sscanf(line, "%79s %79s %79s", words[0], words[1], words[2]);
    recorded = words[2];
    ++st.line;  // the data starts on the next line
    return true;
}

// The end of one part file: opens the next and reads up to its begin line.
bool Decoder::nextPart()
{
    UuState& st = uu();
    reader_.attach(nullptr);
    in_.close();
    if (!uuPartName(st.inName, st.part + 1)) {
        error("too many parts for %s", st.inName.c_str());
        return false;
    }
    ++st.part;
    std::printf("%s --- %s --->\n", st.inName.c_str(), st.method);
    if (!openBuffered(in_, st.inName, "rb")) {
        error("cannot open input file %s", st.inName.c_str());
        return false;
    }
    reader_.attach(in_.get());
    st.line = 0;
    char line[kLineWidth];
    while (reader_.gets(line, sizeof line)) {
        ++st.line;
        if (startsWith(line, "begin")) {
            if (!std::strchr(line, '\n')) {
                int c;
                while ((c = reader_.get()) != EOF && c != '\n') {
                }
            }
            ++st.line;
            return true;
        }
        if (line[0] == st.fullLineChar) {
            warningAt(st.line, "line starting with '%c' found before \"begin\"", st.fullLineChar);
            pending_ = line;  // decoded as the first line of this part
            return true;
        }
    }
    error("nothing to decode in file %s", st.inName.c_str());
    return false;
}

int Decoder::nextLengthChar()
{
    UuState& st = uu();
    for (;;) {
        int c = get();
        if (c == EOF) {
            if (!nextPart())
                return -1;
            continue;
        }
        if (c == '\n')
            ++st.line;
        else if (st.reverse[c] != UuState::kOutside)
            return c;
    }
}

void Decoder::decodeLine(int n)
{
    UuState& st = uu();
    const int need = (4 * n + 2) / 3;
    int values[kMaxLineChars + 4] = {0};
    int got = 0;
    bool endedEarly = false;  // a line feed or the end of the file cut it
    // The usual line: its characters are already read and all in the
    // alphabet, so they are taken at once.
    if (pending_.empty()) {
        if (const unsigned char* text = reader_.peek(static_cast<std::size_t>(need))) {
            int i = 0;
            while (i < need && st.reverse[text[i]] != UuState::kOutside) {
                values[i] = st.reverse[text[i]];
                ++i;
            }
            if (i == need) {
                reader_.skip(static_cast<std::size_t>(need));
                got = need;
            }
        }
    }
    while (got < need) {
        int c = get();
        if (c == EOF) {
            warningAt(st.line, "unexpected end of file");
            endedEarly = true;
            break;
        }
        if (st.reverse[c] != UuState::kOutside) {
            values[got++] = st.reverse[c];
            continue;
        }
        if (c == '\n') {
            int ended = st.line++;
            if (n == st.fullLineLength) {
                warningAt(ended, "unexpected line break - glued");
            } else if (n < st.fullLineLength) {
                warningAt(ended, "unexpected end of line");
                endedEarly = true;
                break;
            } else {
                warningAt(ended, "file probably corrupted");
            }
        } else if (c >= 32) {
            warningAt(st.line, "skipped illegal character '%c'", c);
        } else {
            warningAt(st.line, "skipped illegal character %#x", c);
        }
    }
    unsigned char bytes[kMaxLineChars];
    int produced = 0;
    for (int i = 0; i < need; i += 4) {
        int p = values[i], q = values[i + 1], r = values[i + 2], s = values[i + 3];
        bytes[produced++] = static_cast<unsigned char>((p << 2) | (q >> 4));
        bytes[produced++] = static_cast<unsigned char>((q << 4) | (r >> 2));
        bytes[produced++] = static_cast<unsigned char>((r << 6) | s);
    }
    write(bytes, n);
    st.byteCount += n;
    if (endedEarly)
        return;
    int extra = 0;
    int c;
    while ((c = get()) != EOF && st.reverse[c] != UuState::kOutside)
        ++extra;
    if (extra > 0 && n == st.fullLineLength)
        warningAt(st.line, "end of line expected");
    unget(c);
}

std::string Decoder::readWord()
{
    UuState& st = uu();
    int c;
    while ((c = get()) != EOF && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
        if (c == '\n')
            ++st.line;
    }
    std::string word;
    while (c != EOF && c != ' ' && c != '\t' && c != '\r' && c != '\n' && word.size() < kLineWidth) {
        word += static_cast<char>(c);
        c = get();
    }
    unget(c);
    return word;
}

void Decoder::run()
{
    UuState& st = uu();
    if (!openBuffered(in_, st.inName, "rb")) {
        error("cannot open input file %s", st.inName.c_str());
        return;
    }
    reader_.attach(in_.get());
    std::string recorded;
    if (!findBegin(recorded))
        return;

    int first = get();
    if (!privateAlphabet_) {
        if (first != 'M')
            error("unknown encoding method");
    } else {
        st.fullLineChar = st.alphabet[kUuFullLineBytes];
    }
    for (char twice : st.buildReverse())
        error("character %c already defined in table", twice);
    if (privateAlphabet_ && first != EOF && st.reverse[first] != UuState::kOutside)
        st.fullLineChar = static_cast<char>(first);
    st.fullLineLength = st.reverse[static_cast<unsigned char>(st.fullLineChar)];
    unget(first);

    if (!a_.outFile.empty()) {
        st.outName = lower(a_.outFile);
        warning("%s specified outfile as %s", st.inName.c_str(), recorded.c_str());
    } else {
        // Only the recorded name's file-name part: the sender does not pick
        // folders on this machine.
        st.outName = recorded.substr(fileNameStart(recorded));
        if (st.outName == "." || st.outName == "..")
            st.outName.clear();
    }
    if (st.outName.empty() || st.outName.size() > kUuNameLimit ||
        !openBuffered(out_, st.outName, "wb")) {
        error("cannot open output file %s", st.outName.c_str());
        return;
    }
    std::printf("\n%s --- %s ---> %s", st.inName.c_str(), st.method, st.outName.c_str());
    std::printf("\n");
    output_.reserve(kOutputChunk + kMaxLineChars);
    decodeBody();
    // The last bytes, and the close that writes what the stream still
    // holds: a failure there is a write error too, not a quiet short file.
    flushOutput();
    if (!out_.close())
        errorAt(st.line, "write error on output file");
}

void Decoder::decodeBody()
{
    UuState& st = uu();
    for (;;) {
        int c = nextLengthChar();
        if (c < 0)
            return;
        int n = st.reverse[c];
        if (n == 0)
            break;
        decodeLine(n);
    }
    if (!startsWith(readWord().c_str(), "end"))
        warningAt(st.line, "end line not found");
    long recordedCount = std::atol(readWord().c_str());
    if (recordedCount > 0 && recordedCount != st.byteCount) {
        if (readWord().compare(0, 1, "l") != 0)
            warning("file size different");
    }
}

}  // namespace

std::string uuExtension(const std::string& name)
{
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot < fileNameStart(name))
        return std::string();
    return name.substr(dot);
}

bool uuDecodes(const std::string& lowerName)
{
    std::string e = uuExtension(lowerName).substr(0, 4);
    return e.empty() || e == ".enc" || e == ".xxe" || e == ".uue";
}

bool uuPartName(std::string& name, int part)
{
    std::string e = uuExtension(name);
    if (part < 2 || part > kUuMaxPart || e.size() < 3)
        return false;
    name[name.size() - 1] = static_cast<char>('0' + part % 10);
    if (part >= 10)
        name[name.size() - 2] = static_cast<char>('0' + part / 10);
    return true;
}

UuLineEncoder::UuLineEncoder(const char* alphabet)
{
    std::memcpy(alphabet_, alphabet, sizeof alphabet_);
    for (int v = 0; v < 4096; ++v) {
        pairs_[v][0] = static_cast<unsigned char>(alphabet[v >> 6]);
        pairs_[v][1] = static_cast<unsigned char>(alphabet[v & 63]);
    }
}

int UuLineEncoder::encode(const unsigned char* bytes, int d, char* out) const
{
    const unsigned char* __restrict in = bytes;
    char* __restrict p = out;
    *p++ = alphabet_[d];
    int i = 0;
    for (; i + 3 <= d; i += 3, p += 4) {
        unsigned v = (unsigned(in[i]) << 16) | (unsigned(in[i + 1]) << 8) | in[i + 2];
        std::memcpy(p, pairs_[v >> 12], 2);
        std::memcpy(p + 2, pairs_[v & 4095], 2);
    }
    if (i < d) {  // the last group, its missing bytes counting as zero
        unsigned v = (unsigned(in[i]) << 16) | (i + 1 < d ? unsigned(in[i + 1]) << 8 : 0u);
        std::memcpy(p, pairs_[v >> 12], 2);
        std::memcpy(p + 2, pairs_[v & 4095], 2);
        p += 4;
    }
    *p++ = '\n';
    return static_cast<int>(p - out);
}

std::string uuEncodeLine(const unsigned char* bytes, int d, const char* alphabet)
{
    char line[kUuLineTextMax];
    return std::string(line, UuLineEncoder(alphabet).encode(bytes, d, line));
}

void runUuCodec(const UuArgs& args)
{
    UuState& st = uu();
    std::string name = lower(args.inFile);
    bool decoding = uuDecodes(name);
    st.reset(decoding ? "UUdecode" : "UUencode");
    st.inName = (decoding && uuExtension(name).empty()) ? name + ".enc" : name;
    if (st.inName.size() > kUuNameLimit || args.outFile.size() > kUuNameLimit) {
        error("file name too long %s", st.inName.c_str());
    } else if (args.beginName.size() > kUuBeginNameLimit) {
        error("begin name too long %s", args.beginName.c_str());
    } else if (args.countDir.size() > kUuCountDirLimit) {
        error("count folder too long %s", args.countDir.c_str());
    } else if (decoding) {
        Decoder(args).run();
    } else {
        Encoder(args).run();
    }
    std::fflush(stdout);
}

}  // namespace tarn
