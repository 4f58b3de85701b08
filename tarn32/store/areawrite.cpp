#include "areawrite.h"

#include "frame/filecopy.h"
#include "frame/stdiofile.h"

#include <cstdio>

namespace tarn {

namespace {

// The bytes that reach the file: CRs dropped, lines broken as asked.
std::string storedForm(const char* text, LineBreaking breaking)
{
    std::string out;
    int column = 0;
    for (const char* p = text; *p; ++p) {
        char c = *p;
        ++column;
        if (c != '\r')
            out += c;
        if (breaking == LineBreaking::kNone)
            continue;
        if (c == '\n')
            column = 0;
        if (column > 80 && c == ' ') {
            out += '\n';
            column = 0;
        }
    }
    return out;
}

}  // namespace

AppendOutcome appendText(const std::string& path, const char* text, EmptyStart emptyStart,
                         LineBreaking breaking)
{
    AppendOutcome r;
    StdioFile file;
    if (!file.open(path, "ab")) {
        r.error = "Cannot open file " + path;
        return r;
    }
    long before = fileSize(file.get());
    if (before < 0) {
        r.error = "Cannot open file " + path;
        return r;
    }
    long start = before;
    if (start <= 0)
        start = emptyStart == EmptyStart::kOne ? 1 : 0;

    std::string bytes = storedForm(text, breaking);
    if (!writeAll(file.get(), bytes.data(), bytes.size())) {
        truncateFile(file.get(), before);
        r.error = "Cannot write file " + path;
        return r;
    }
    long end = fileSize(file.get());
    if (end <= 0)
        end = 1;
    r.ok = true;
    r.start = start;
    r.length = end - start;
    return r;
}

}  // namespace tarn
