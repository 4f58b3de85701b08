// Folder listings over POSIX, for the native build: the pattern after the
// last backslash or slash, matched without regard to letter case as on
// Windows, "*" and "?" its wildcards.
// Limit: Windows' special cases of "*.*" (a name without a dot matches) and
// of short 8.3 names are not imitated.
#include "frame/findfiles.h"

#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace tarn {

namespace {
struct PosixListing {
    DIR* dir;
    std::string folder;   // with its separator
    std::string pattern;
};
}  // namespace

namespace {
// The next entry matching the pattern into name; false at the end.
bool readMatching(PosixListing& l, char* name, std::size_t size, bool& isFolder)
{
    while (dirent* e = ::readdir(l.dir)) {
        if (::fnmatch(l.pattern.c_str(), e->d_name, FNM_CASEFOLD) != 0)
            continue;
        std::size_t n = strnlen(e->d_name, size - 1);
        std::memcpy(name, e->d_name, n);
        name[n] = '\0';
        std::string full = l.folder.empty() ? std::string(name)
                                            : l.folder.substr(0, l.folder.size() - 1) + "/" + name;
        struct stat st;
        isFolder = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        return true;
    }
    return false;
}
}  // namespace

FileListing::FileListing(const std::string& patternPath)
    : handle_(nullptr), pending_(false), name_{}, isFolder_(false)
{
    std::string::size_type cut = patternPath.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? "" : patternPath.substr(0, cut + 1);
    std::string open = folder.empty() ? "." : folder.substr(0, folder.size() - 1);
    if (open.empty())
        open = "/";
    DIR* d = ::opendir(open.c_str());
    if (!d)
        return;
    auto* l = new PosixListing{d, folder, patternPath.substr(cut == std::string::npos ? 0 : cut + 1)};
    handle_ = l;
    pending_ = readMatching(*l, name_, sizeof name_, isFolder_);
}

FileListing::~FileListing()
{
    if (auto* l = static_cast<PosixListing*>(handle_)) {
        ::closedir(l->dir);
        delete l;
    }
}

bool FileListing::step()
{
    if (pending_) {
        pending_ = false;
        return true;
    }
    auto* l = static_cast<PosixListing*>(handle_);
    return l && readMatching(*l, name_, sizeof name_, isFolder_);
}

}  // namespace tarn
