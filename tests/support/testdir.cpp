#include "testdir.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

std::string exeFolder()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of('\\'));
}

std::string sourceFolder()
{
    const char* unix = std::getenv("TARN_SOURCE_DIR");
    if (!unix)
        return exeFolder() + "\\..\\..";
    std::string p = "Z:";
    for (const char* c = unix; *c; ++c)
        p += (*c == '/') ? '\\' : *c;
    return p;
}

TestDir::TestDir()
{
    static int counter = 0;
    // Short paths: the library's path widths are tight (60 for the inbound
    // folder and a job name), and the checkout may lie deep.
    std::string base = "C:\\tt";
    CreateDirectoryA(base.c_str(), nullptr);
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "\\t%lu_%d", GetCurrentProcessId(), ++counter);
        path_ = base + name;
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
    }
    char full[MAX_PATH];
    if (GetFullPathNameA(path_.c_str(), MAX_PATH, full, nullptr))
        path_ = full;
}

TestDir::~TestDir() { removeTree(path_); }

std::string TestDir::file(const std::string& name) const { return path_ + "\\" + name; }

std::string TestDir::subdir(const std::string& name) const
{
    std::string p = file(name);
    CreateDirectoryA(p.c_str(), nullptr);
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
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> listFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = data.cFileName;
        if (n != "." && n != "..")
            names.push_back(n);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = data.cFileName;
            if (n == "." || n == "..")
                continue;
            std::string p = folder + "\\" + n;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(p);
            } else {
                SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(p.c_str());
            }
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace testsupport
