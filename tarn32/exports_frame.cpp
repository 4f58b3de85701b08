// Exports: the folder and file operations.
#include "tarn32.h"

#include "frame/folderops.h"

#include <cstring>
#include <string>

TARN_EXPORT int CHKDIR(const char* folderPath)
{
    try {
        return folderPath && tarn::enterFolder(folderPath) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int GENDIR(const char* folderPath)
{
    try {
        return folderPath && tarn::createFolder(folderPath) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int FILERENAME(const char* oldPath, const char* newPath)
{
    try {
        return oldPath && newPath && tarn::renameFile(oldPath, newPath) ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int FIND_FILE(const char* folder, char* foundName, const char* pattern)
{
    try {
        if (!folder || !foundName || !pattern)
            return -1;
        std::string found;
        if (!tarn::findFirstEntry(folder, pattern, found))
            return -1;
        std::memcpy(foundName, found.c_str(), found.size() + 1);  // at most 259 + NUL
        return 0;
    } catch (...) {
        return -1;
    }
}
