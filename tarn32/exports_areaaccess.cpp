// Exports: single-message access to the area files of the store, and
// FILEATTACH. No log; failures are -1 and a text in errorBuffer.
#include "tarn32.h"

#include "frame/errortext.h"
#include "frame/paths.h"
#include "store/areafile.h"
#include "store/arearead.h"
#include "store/areawrite.h"
#include "store/fileattach.h"

#include <string>

namespace {

enum class ReadKind { kMessage, kNews, kMapi, kExtract };

int readExport(ReadKind kind, const char* storeFolder, int area, int offset, int count,
               char* textBuffer, char* errorBuffer)
{
    if (!storeFolder || !textBuffer || !errorBuffer)
        return -1;
    tarn::AreaAccess access =
        kind == ReadKind::kMapi ? tarn::AreaAccess::kMapiRead : tarn::AreaAccess::kRead;
    std::string path;
    tarn::ReadOutcome r;
    if (!tarn::joinPath(storeFolder, tarn::areaFileName(area, access), tarn::kAreaPathWidth, path)) {
        textBuffer[0] = '\0';
        r = {-1, kind == ReadKind::kExtract ? tarn::kCannotOpenMailArea : tarn::kCannotOpenArea};
    } else if (kind == ReadKind::kExtract) {
        r = tarn::extractBody(path, offset, count, textBuffer);
    } else {
        r = tarn::readChunk(path, offset, count,
                            kind == ReadKind::kNews ? tarn::kNewsChunk : tarn::kMessageChunk,
                            textBuffer);
    }
    if (r.result == -1 && r.error)
        tarn::copyErrorText(errorBuffer, r.error);
    return r.result;
}

int writeExport(const char* storeFolder, int area, int* startOffset, int* length, const char* text,
                char* errorBuffer, tarn::EmptyStart emptyStart, tarn::LineBreaking breaking)
{
    if (!storeFolder || !startOffset || !length || !text || !errorBuffer)
        return -1;
    std::string name = tarn::areaFileName(area, tarn::AreaAccess::kWrite);
    std::string path;
    if (!tarn::joinPath(storeFolder, name, tarn::kAreaPathWidth, path)) {
        tarn::copyErrorText(errorBuffer, "Cannot open file " + std::string(storeFolder) + "\\" + name);
        return -1;
    }
    tarn::AppendOutcome r = tarn::appendText(path, text, emptyStart, breaking);
    if (!r.ok) {
        tarn::copyErrorText(errorBuffer, r.error);
        return -1;
    }
    *startOffset = static_cast<int>(r.start);
    *length = static_cast<int>(r.length);
    return 0;
}

}  // namespace

TARN_EXPORT int READMESSAGE(const char* storeFolder, int area, int offset, int count,
                            char* textBuffer, char* errorBuffer)
{
    try {
        return readExport(ReadKind::kMessage, storeFolder, area, offset, count, textBuffer,
                          errorBuffer);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int READNEWS(const char* storeFolder, int area, int offset, int count,
                         char* textBuffer, char* errorBuffer)
{
    try {
        return readExport(ReadKind::kNews, storeFolder, area, offset, count, textBuffer,
                          errorBuffer);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int READMAPIMSG(const char* storeFolder, int area, int offset, int count,
                            char* textBuffer, char* errorBuffer)
{
    try {
        return readExport(ReadKind::kMapi, storeFolder, area, offset, count, textBuffer,
                          errorBuffer);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int EXTRACTMESSAGE(const char* storeFolder, int area, int offset, int count,
                               char* textBuffer, char* errorBuffer)
{
    try {
        return readExport(ReadKind::kExtract, storeFolder, area, offset, count, textBuffer,
                          errorBuffer);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int WRITEMESSAGE(const char* storeFolder, int area, int* startOffset, int* length,
                             const char* text, char* errorBuffer)
{
    try {
        return writeExport(storeFolder, area, startOffset, length, text, errorBuffer,
                           tarn::EmptyStart::kZero, tarn::LineBreaking::kNone);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int WRITEMFORM(const char* storeFolder, int area, int* startOffset, int* length,
                           const char* text, char* errorBuffer)
{
    try {
        return writeExport(storeFolder, area, startOffset, length, text, errorBuffer,
                           tarn::EmptyStart::kOne, tarn::LineBreaking::kAfterColumn80);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int FILEATTACH(const char* folder, const char* sourcePath, const char* targetName,
                           char* errorBuffer, int holdMode)
{
    try {
        if (!folder || !sourcePath || !targetName || !errorBuffer)
            return -1;
        tarn::AttachRequest request;
        request.folder = folder;
        request.sourcePath = sourcePath;
        request.targetName = targetName;
        request.holdMode = holdMode;
        tarn::AttachOutcome r = tarn::attachFile(request, tarn::kAreaPathWidth);
        switch (r.error) {
        case tarn::AttachError::kNone:
            return 0;
        case tarn::AttachError::kSource:
            tarn::copyErrorText(errorBuffer, std::string("Cannot open file ") + sourcePath);
            break;
        case tarn::AttachError::kTarget:
            tarn::copyErrorText(errorBuffer, "Cannot open temp file \r\n");
            break;
        case tarn::AttachError::kWrite:
            tarn::copyErrorText(errorBuffer, "Cannot write file " + r.targetPath);
            break;
        }
        return -1;
    } catch (...) {
        return -1;
    }
}
