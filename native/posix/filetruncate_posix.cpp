// Cutting a file back, for the native build.
#include "frame/filecopy.h"

#include <unistd.h>

namespace tarn {

bool truncateFile(std::FILE* file, long size)
{
    std::fflush(file);
    return ::ftruncate(::fileno(file), size) == 0;
}

}  // namespace tarn
