// Which entries a folder listing (findfiles.h) hands out, the same on every
// platform: never "." or "..", folders only when asked for. The platform's
// part, finding the entries, is findfiles.cpp (native: findfiles_posix.cpp).
#include "findfiles.h"

#include <cstring>

namespace tarn {

const char* FileListing::next(Kind kind)
{
    while (step()) {
        if (std::strcmp(name_, ".") == 0 || std::strcmp(name_, "..") == 0)
            continue;
        if (isFolder_ && kind == kFilesOnly)
            continue;
        return name_;
    }
    return nullptr;
}

}  // namespace tarn
