// The retrieved message file's path (messagefile.h), free of the platform:
// the Windows build and the native build name their files with it.
#include "messagefile.h"
#include "pop3worker.h"

#include <cstdio>

namespace pop3 {

std::string messageFilePath(const std::string& folder, int messageNumber)
{
    if (folder.size() > kFolderMax)
        return "";
    char path[kMessagePathSize];
    int n = std::snprintf(path, sizeof path, "%s\\%d.msg", folder.c_str(), messageNumber);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof path)
        return "";
    return path;
}

}  // namespace pop3
