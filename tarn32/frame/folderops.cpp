#include "folderops.h"

#include "findfiles.h"
#include "paths.h"

#include <windows.h>

#include <cstring>

namespace tarn {

bool createFolder(const char* folderPath)
{
    if (!fitsWidth(std::strlen(folderPath), kFolderOpWidth))
        return false;
    return CreateDirectoryA(folderPath, nullptr) != 0;
}

bool enterFolder(const char* folderPath)
{
    if (!fitsWidth(std::strlen(folderPath), kFolderOpWidth))
        return false;
    return SetCurrentDirectoryA(folderPath) != 0;
}

bool renameFile(const char* oldPath, const char* newPath)
{
    // MoveFileA without MOVEFILE_REPLACE_EXISTING refuses an existing target.
    return MoveFileA(oldPath, newPath) != 0;
}

bool findFirstEntry(const char* folder, const char* pattern, std::string& found)
{
    std::string path;
    if (!joinPath(folder, pattern, kFindFileWidth, path))
        return false;
    FileListing listing(path);
    const char* name;
    while ((name = listing.next(FileListing::kFilesAndFolders)) != nullptr) {
        found = name;
        return true;
    }
    return false;
}

}  // namespace tarn
