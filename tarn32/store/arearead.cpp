#include "arearead.h"

#include "frame/stdiofile.h"

#include <cstdio>

namespace tarn {

namespace {

// Copies `count` bytes from the file's position into `text` with CR before
// every LF, stopping at the limits. The text is ended with a NUL on every path.
ReadOutcome copyAsText(std::FILE* file, long count, const ChunkLimits& limits, char* text)
{
    int n = 0;  // characters in `text`
    unsigned char block[8192];
    std::size_t have = 0, at = 0;
    for (long i = 0; i < count; ++i) {
        if (at == have) {
            std::size_t want = sizeof block;
            if (static_cast<unsigned long>(count - i) < want)
                want = static_cast<std::size_t>(count - i);
            have = std::fread(block, 1, want, file);
            at = 0;
            if (have == 0) {
                text[n] = '\0';
                return {-1, kUnexpectedEnd};
            }
        }
        unsigned char c = block[at++];
        if (c == '\n')
            text[n++] = '\r';
        text[n++] = static_cast<char>(c);
        if (n >= limits.hard || (n >= limits.soft && (c == ' ' || c == '\n'))) {
            text[n] = '\0';
            return {static_cast<int>(i + 1), nullptr};
        }
    }
    text[n] = '\0';
    return {static_cast<int>(count + 1), nullptr};
}

bool openAt(StdioFile& file, const std::string& path, long offset, const char* openError,
            char* text, ReadOutcome& failure)
{
    text[0] = '\0';
    if (!file.open(path, "rb")) {
        failure = {-1, openError};
        return false;
    }
    if (std::fseek(file.get(), offset, SEEK_SET) != 0) {
        failure = {-1, kSeekBeyondEnd};
        return false;
    }
    return true;
}

// One piece of a header line: up to 199 bytes, ending after a LF. Returns
// its length (0 at the end of the file); `startsWithLf` tells whether its
// first byte is a LF.
long headerPiece(std::FILE* file, bool& startsWithLf)
{
    constexpr long kPiece = 199;
    long n = 0;
    int c;
    startsWithLf = false;
    while (n < kPiece && (c = std::fgetc(file)) != EOF) {
        if (n == 0)
            startsWithLf = c == '\n';
        ++n;
        if (c == '\n')
            break;
    }
    return n;
}

}  // namespace

ReadOutcome readChunk(const std::string& path, long offset, long count, const ChunkLimits& limits,
                      char* text)
{
    StdioFile file;
    ReadOutcome failure{};
    if (!openAt(file, path, offset, kCannotOpenArea, text, failure))
        return failure;
    if (count < 0)
        return {-1, kNegativeCount};
    return copyAsText(file.get(), count, limits, text);
}

ReadOutcome extractBody(const std::string& path, long offset, long count, char* text)
{
    StdioFile file;
    ReadOutcome failure{};
    if (!openAt(file, path, offset, kCannotOpenMailArea, text, failure))
        return failure;
    if (count < 0)
        return {-1, kNegativeCount};
    long header = 0;
    for (;;) {
        bool blank;
        long n = headerPiece(file.get(), blank);
        header += n;
        if (n == 0 || blank)
            break;
    }
    long body = count - header;
    if (body <= 0)
        return {static_cast<int>(body + 1), nullptr};
    return copyAsText(file.get(), body, kMessageChunk, text);
}

}  // namespace tarn
