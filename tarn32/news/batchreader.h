// Reading a plain news batch: lines of a bounded length and runs of bytes,
// from one buffer, with the exact byte position at every point (so a NUL in
// a line cannot throw the article arithmetic off, and no position query goes
// to the platform per line). Binary: nothing is translated. No Win32.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tarn {

class BatchReader {
public:
    // Reads `file` (opened in binary mode) from its current position; the
    // caller keeps the file open while the reader is used.
    explicit BatchReader(std::FILE* file);

    // Like fgets with a buffer of maxChars + 1: up to maxChars bytes, ending
    // after a line feed. False at the end of the file with nothing read.
    bool readLine(std::string& line, std::size_t maxChars);

    // Writes up to `count` bytes from here on to `to`; returns how many were
    // read (fewer at the end of the file), -1 when writing failed.
    long copyTo(std::FILE* to, long count);

    long tell() const { return base_ + static_cast<long>(pos_); }
    // Moves to an absolute position (beyond the end is allowed: the next read
    // finds the end).
    void seek(long position);

private:
    bool fill();  // false at the end of the file

    std::FILE* file_;
    std::vector<char> buf_;
    std::size_t pos_ = 0, len_ = 0;
    long base_ = 0;  // file position of buf_[0]
};

}  // namespace tarn
