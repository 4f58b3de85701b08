#include "filecopy.h"

#include <vector>

namespace tarn {

long fileSize(std::FILE* file)
{
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    return std::ftell(file);
}

bool copyWhole(std::FILE* from, std::FILE* to)
{
    if (std::fseek(from, 0, SEEK_SET) != 0)
        return false;
    std::vector<char> block(64 * 1024);
    std::size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), from)) > 0) {
        if (std::fwrite(block.data(), 1, n, to) != n)
            return false;
    }
    if (std::ferror(from))
        return false;
    return std::fflush(to) == 0;
}

bool writeAll(std::FILE* to, const void* data, std::size_t size)
{
    if (size > 0 && std::fwrite(data, 1, size, to) != size)
        return false;
    return std::fflush(to) == 0;
}

}  // namespace tarn
