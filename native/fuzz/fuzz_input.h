// Fuzz driver support: the input as a file stream, and split into strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A temporary file holding the bytes, positioned at its start. Caller closes.
inline std::FILE* fuzzFile(const uint8_t* data, size_t size)
{
    std::FILE* f = std::tmpfile();
    if (f) {
        std::fwrite(data, 1, size, f);
        std::rewind(f);
    }
    return f;
}

// Splits the input at NUL bytes into at most `count` strings.
inline std::vector<std::string> fuzzStrings(const uint8_t* data, size_t size, size_t count)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < count)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    parts.resize(count);
    return parts;
}
