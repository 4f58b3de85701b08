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

#include <cstdlib>
#include <string>
#include <dirent.h>
#include <unistd.h>

inline void fuzzClearFolder();

// A private scratch folder for decoders that write files beside their
// input; made once per process and entered, so every file lands in it, and
// removed when the process ends. Corpus and artifact paths given to the
// driver must therefore be absolute.
inline const std::string& fuzzScratchFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/tarnfuzzXXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made || ::chdir(made) != 0)
            std::abort();
        std::atexit([] {
            fuzzClearFolder();
            ::rmdir(fuzzScratchFolder().c_str());
        });
        return std::string(made);
    }();
    return folder;
}

// Writes the bytes to `name` in the current folder; false when it fails.
inline bool fuzzWriteFile(const std::string& name, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Removes every file of the current folder (the scratch folder).
inline void fuzzClearFolder()
{
    if (DIR* d = ::opendir(".")) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.' || (e->d_name[1] != 0 && e->d_name[1] != '.'))
                ::unlink(e->d_name);
        }
        ::closedir(d);
    }
}
