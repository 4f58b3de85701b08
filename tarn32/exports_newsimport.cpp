// Export: UUCP news import.
#include "tarn32.h"

#include "frame/paths.h"
#include "news/newsimport.h"

TARN_EXPORT int IMPNEWS(char* inboundFolder, char* workFolder, const char* systemName1,
                        const char* systemName2, int logLevel, int compressBits)
{
    try {
        if (!inboundFolder || !workFolder || !systemName1 || !systemName2)
            return -1;
        tarn::appendBackslashInPlace(inboundFolder);
        tarn::appendBackslashInPlace(workFolder);
        tarn::NewsImportArgs args;
        args.inboundFolder = inboundFolder;
        args.workFolder = workFolder;
        args.systemName1 = systemName1;
        args.systemName2 = systemName2;
        args.logLevel = logLevel;
        args.compressBits = compressBits;
        return tarn::importNews(args);
    } catch (...) {
        return -1;
    }
}
