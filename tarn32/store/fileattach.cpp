#include "fileattach.h"

#include "frame/filecopy.h"
#include "frame/paths.h"
#include "frame/stdiofile.h"

#include <direct.h>

#include <cstdio>
#include <vector>

namespace tarn {

namespace {

// Copies `size` bytes from the start of `from` to `to`; false when fewer
// could be read or written.
bool copyBytes(std::FILE* from, std::FILE* to, long size)
{
    if (std::fseek(from, 0, SEEK_SET) != 0)
        return false;
    std::vector<char> block(64 * 1024);
    long left = size;
    while (left > 0) {
        std::size_t want = left < static_cast<long>(block.size()) ? static_cast<std::size_t>(left)
                                                                  : block.size();
        std::size_t n = std::fread(block.data(), 1, want, from);
        if (n == 0 || std::fwrite(block.data(), 1, n, to) != n)
            return false;
        left -= static_cast<long>(n);
    }
    return std::fflush(to) == 0;
}

}  // namespace

AttachOutcome attachFile(const AttachRequest& request, std::size_t pathWidth)
{
    AttachOutcome r;
    bool hold = request.holdMode == 1;
    r.targetFolder = request.folder;
    if (hold)
        r.targetFolder += "\\hold";
    // An existing folder is fine; a folder that cannot be made shows when the
    // target is opened.
    if (fitsWidth(r.targetFolder.size(), pathWidth))
        _mkdir(r.targetFolder.c_str());

    StdioFile source;
    if (!source.open(request.sourcePath, "rb")) {
        r.error = AttachError::kSource;
        return r;
    }
    long size = fileSize(source.get());

    StdioFile target;
    if (!joinPath(r.targetFolder, request.targetName, pathWidth, r.targetPath) || size < 0 ||
        !target.open(r.targetPath, hold ? "wb" : "ab")) {
        r.error = AttachError::kTarget;
        return r;
    }
    long before = fileSize(target.get());
    bool ok = before >= 0 && writeAll(target.get(), request.leadText.data(), request.leadText.size()) &&
              copyBytes(source.get(), target.get(), size);
    if (!ok) {
        if (before >= 0)
            truncateFile(target.get(), before);
        r.error = AttachError::kWrite;
    }
    return r;
}

}  // namespace tarn
