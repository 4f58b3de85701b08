// The test folders of tests/support/testdir.h over POSIX, for the native
// build: a fresh folder under /tmp per TestDir, names joined with a slash.
#include "testdir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

std::string exeFolder()
{
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    return p.substr(0, p.find_last_of('/'));
}

std::string sourceFolder()
{
    const char* dir = std::getenv("TARN_SOURCE_DIR");
    return dir ? dir : exeFolder() + "/../..";
}

TestDir::TestDir()
{
    char pattern[] = "/tmp/tarntest.XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    path_ = pattern;
}

TestDir::~TestDir() { removeTree(path_); }

std::string TestDir::file(const std::string& name) const { return path_ + "/" + name; }

std::string TestDir::subdir(const std::string& name) const
{
    std::string p = file(name);
    ::mkdir(p.c_str(), 0700);
    return p;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string readFile(const std::string& path)
{
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
}

bool fileExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> listFolder(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void removeTree(const std::string& folder)
{
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..")
                continue;
            std::string p = folder + "/" + n;
            struct stat st;
            if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                removeTree(p);
            else
                ::unlink(p.c_str());
        }
        ::closedir(d);
    }
    ::rmdir(folder.c_str());
}

}  // namespace testsupport
