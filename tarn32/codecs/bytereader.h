// A C runtime stream read through a buffer of its own: bytes one at a time
// and pieces as fgets gives them, from reads of 64 KB, without the C
// runtime's cost for each call. The stream's own translation (text mode)
// still applies, since the reads go through it. No Win32 here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tarn {

class ByteReader {
public:
    ByteReader() : buffer_(64 * 1024) {}
    void attach(std::FILE* f)
    {
        file_ = f;
        at_ = end_ = 0;
        hitEnd_ = false;
    }
    int get()
    {
        if (at_ == end_ && !fill())
            return EOF;
        return buffer_[at_++];
    }
    // As fgets: up to size - 1 bytes, through the first line feed; NUL
    // ended. Null when the file had nothing more.
    char* gets(char* line, int size)
    {
        int n = 0;
        while (n < size - 1) {
            int c = get();
            if (c == EOF)
                break;
            line[n++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        if (n == 0)
            return nullptr;
        line[n] = '\0';
        return line;
    }

    // As gets, but a piece that is already read whole (its line feed, or
    // size - 1 bytes) is taken in one copy.
    char* readPiece(char* line, int size)
    {
        std::size_t most = static_cast<std::size_t>(size - 1);
        if (const unsigned char* p = peek(most)) {
            const void* lineFeed = std::memchr(p, '\n', most);
            std::size_t n = lineFeed ? static_cast<const unsigned char*>(lineFeed) - p + 1 : most;
            std::memcpy(line, p, n);
            line[n] = '\0';
            skip(n);
            return line;
        }
        return gets(line, size);
    }

    // The next n bytes when they are already read, else null (nothing is
    // consumed either way); skip(n) then consumes them.
    const unsigned char* peek(std::size_t n) const
    {
        return end_ - at_ >= n ? buffer_.data() + at_ : nullptr;
    }
    void skip(std::size_t n) { at_ += n; }
    // Gives back the byte the last get() returned.
    void stepBack() { --at_; }
    // A read has found the end of the stream: what feof would say after
    // the same calls of fgetc and fgets.
    bool hitEnd() const { return hitEnd_; }

private:
    bool fill()
    {
        at_ = 0;
        end_ = file_ ? std::fread(buffer_.data(), 1, buffer_.size(), file_) : 0;
        hitEnd_ = hitEnd_ || end_ == 0;
        return end_ > 0;
    }

    std::vector<unsigned char> buffer_;
    std::FILE* file_ = nullptr;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    bool hitEnd_ = false;
};

}  // namespace tarn
