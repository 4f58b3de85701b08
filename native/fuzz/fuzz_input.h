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
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// Removes the files of a folder and the folder itself (one level).
inline void fuzzRemoveFolder(const std::string& folder)
{
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.' || (e->d_name[1] != 0 && e->d_name[1] != '.'))
                ::unlink((folder + "/" + e->d_name).c_str());
        }
        ::closedir(d);
    }
    ::rmdir(folder.c_str());
}

// A private scratch folder for decoders that write files beside their
// input: /dev/shm/tarnfuzz.<pid> (or /tmp/...), made once per process and entered, so every
// file lands in it. libFuzzer may end the process without running exit
// handlers, so each process first removes the folders of processes that
// are gone. Corpus and artifact paths given to the driver must therefore
// be absolute.
inline const std::string& fuzzScratchFolder()
{
    static const std::string folder = [] {
        // In memory when the system has a memory file system: the files are
        // written and read back on every execution.
        struct stat st;
        const std::string base = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) &&
                                         ::access("/dev/shm", W_OK) == 0
                                     ? "/dev/shm"
                                     : "/tmp";
        if (DIR* d = ::opendir(base.c_str())) {
            while (dirent* e = ::readdir(d)) {
                int pid = 0;
                if (std::sscanf(e->d_name, "tarnfuzz.%d", &pid) == 1 && pid > 0 && ::kill(pid, 0) != 0)
                    fuzzRemoveFolder(base + "/" + e->d_name);
            }
            ::closedir(d);
        }
        std::string made = base + "/tarnfuzz." + std::to_string(::getpid());
        if ((::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) || ::chdir(made.c_str()) != 0)
            std::abort();
        return made;
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
