// The codecs' file-system calls over POSIX, for the native build. Backslash
// and slash both separate folders, as in the Windows build.
#include "codecs/codecplatform.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

bool deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool moveFile(const std::string& from, const std::string& to)
{
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0)
        return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool replaceFile(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool makeScratchFileBeside(const std::string& path, std::string& scratch)
{
    std::string::size_type cut = path.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? "." : path.substr(0, cut == 0 ? 1 : cut);
    std::string pattern = folder + "/tqpXXXXXX";
    int fd = ::mkstemp(&pattern[0]);
    if (fd < 0)
        return false;
    ::close(fd);
    scratch = pattern;
    return true;
}

}  // namespace tarn
