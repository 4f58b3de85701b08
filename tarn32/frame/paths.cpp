#include "paths.h"

#include <cstring>

namespace tarn {

bool joinPath(const std::string& folder, const std::string& name, std::size_t width,
              std::string& out)
{
    out.clear();
    if (!fitsWidth(folder.size() + 1 + name.size(), width))
        return false;
    out.reserve(folder.size() + 1 + name.size());
    out.append(folder).append(1, '\\').append(name);
    return true;
}

bool appendName(const std::string& folderWithSlash, const std::string& name,
                std::size_t width, std::string& out)
{
    out.clear();
    if (!fitsWidth(folderWithSlash.size() + name.size(), width))
        return false;
    out = folderWithSlash + name;
    return true;
}

void appendBackslashInPlace(char* folder)
{
    std::size_t n = std::strlen(folder);
    folder[n] = '\\';
    folder[n + 1] = '\0';
}

}  // namespace tarn
