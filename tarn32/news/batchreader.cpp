#include "batchreader.h"

#include <algorithm>
#include <cstring>

namespace tarn {

BatchReader::BatchReader(std::FILE* file) : file_(file), buf_(64 * 1024)
{
    long p = std::ftell(file);
    base_ = p < 0 ? 0 : p;
}

bool BatchReader::fill()
{
    base_ += static_cast<long>(len_);
    pos_ = len_ = 0;
    len_ = std::fread(buf_.data(), 1, buf_.size(), file_);
    return len_ > 0;
}

bool BatchReader::readLine(std::string& line, std::size_t maxChars)
{
    line.clear();
    while (line.size() < maxChars) {
        if (pos_ == len_ && !fill())
            break;
        std::size_t want = std::min(len_ - pos_, maxChars - line.size());
        const char* start = buf_.data() + pos_;
        const void* lf = std::memchr(start, '\n', want);
        std::size_t take = lf ? static_cast<const char*>(lf) - start + 1 : want;
        line.append(start, take);
        pos_ += take;
        if (lf)
            break;
    }
    return !line.empty();
}

long BatchReader::copyTo(std::FILE* to, long count)
{
    long copied = 0;
    while (copied < count) {
        if (pos_ == len_ && !fill())
            break;
        std::size_t take = std::min(len_ - pos_, static_cast<std::size_t>(count - copied));
        if (std::fwrite(buf_.data() + pos_, 1, take, to) != take)
            return -1;
        pos_ += take;
        copied += static_cast<long>(take);
    }
    return copied;
}

void BatchReader::seek(long position)
{
    if (position >= base_ && position <= base_ + static_cast<long>(len_)) {
        pos_ = static_cast<std::size_t>(position - base_);
        return;
    }
    std::fseek(file_, position, SEEK_SET);
    base_ = position;
    pos_ = len_ = 0;
}

}  // namespace tarn
