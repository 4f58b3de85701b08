// Exports: the content codecs (MIME decoding and encoding, quoted-printable,
// ISO-8859-1 to code page 850, UU).
//
// Buffers: WRITEQUOTED's errorBuffer and DECODE_ISO's statusBuffer are the
// caller's; they must hold the longest text of the export with the path
// filled in (the path and about 40 characters). Widths: MIMEDECODE's outPath
// holds at most 79 characters (longer: -1, nothing written).
#include "tarn32.h"

#include "codecs/isoconvert.h"
#include "codecs/mimedecode.h"
#include "codecs/mimeencode.h"
#include "codecs/quotedprintable.h"
#include "codecs/uucodec.h"
#include "frame/errortext.h"

#include <cstring>

namespace {
const char* orEmpty(const char* s) { return s ? s : ""; }
}  // namespace

TARN_EXPORT int MIMEDECODE(const char* inPath, const char* outPath)
{
    try {
        if (!inPath || !outPath)
            return -1;
        return tarn::mimeDecodeFile(inPath, outPath);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int WRITEQUOTED(const char* path, const char* unused2, char* errorBuffer, int unused4)
{
    try {
        if (!path)
            return -1;
        tarn::QuotedResult r = tarn::writeQuotedFile(path);
        if (r.code != 0 && errorBuffer)
            tarn::copyErrorText(errorBuffer, r.errorText);
        return r.code;
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int MIMEENCODE(const char* inPath, const char* outPath, const char* attachmentName)
{
    try {
        if (!inPath || !outPath)
            return -1;
        return tarn::mimeEncodeFile(inPath, outPath, orEmpty(attachmentName));
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int DECODE_ISO(const char* inPath, const char* outPath, char* statusBuffer)
{
    try {
        if (!inPath || !outPath)
            return -2;
        tarn::IsoResult r = tarn::decodeIsoFile(inPath, outPath);
        if (statusBuffer)
            // The status names the paths: cut to the buffer's width.
            tarn::copyErrorText(statusBuffer, r.status);
        return r.code;
    } catch (...) {
        return -2;
    }
}

TARN_EXPORT int UUENCODE(const char* inFile, const char* outFile, const char* beginName,
                         const char* countDir, int maxKB)
{
    try {
        if (!inFile)
            return 0;
        tarn::UuArgs args;
        args.inFile = inFile;
        args.outFile = orEmpty(outFile);
        args.beginName = orEmpty(beginName);
        args.countDir = orEmpty(countDir);
        args.maxKB = maxKB;
        tarn::runUuCodec(args);
    } catch (...) {
    }
    return 0;
}
