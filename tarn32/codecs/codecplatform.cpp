#include "codecplatform.h"

#include <windows.h>

namespace tarn {

bool deleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool moveFile(const std::string& from, const std::string& to)
{
    return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool replaceFile(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool makeScratchFileBeside(const std::string& path, std::string& scratch)
{
    std::string::size_type cut = path.find_last_of("\\/:");
    std::string folder;
    if (cut == std::string::npos)
        folder = ".";
    else if (path[cut] == ':')
        folder = path.substr(0, cut + 1);
    else
        folder = path.substr(0, cut == 0 ? 1 : cut);
    char name[MAX_PATH];
    if (folder.size() >= MAX_PATH - 14 || GetTempFileNameA(folder.c_str(), "tqp", 0, name) == 0)
        return false;
    scratch = name;
    return true;
}

}  // namespace tarn
