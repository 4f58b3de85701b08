// Cutting a file back, over the C runtime's descriptor of the stream.
#include "filecopy.h"

#include <io.h>

namespace tarn {

bool truncateFile(std::FILE* file, long size)
{
    std::fflush(file);
    return _chsize(_fileno(file), size) == 0;
}

}  // namespace tarn
