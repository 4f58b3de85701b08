// Export: UUCP news export.
#include "tarn32.h"

#include "frame/paths.h"
#include "news/newsexport.h"

TARN_EXPORT int EXPNEWS(char* outboundFolder, char* workFolder, const char* systemName,
                        int messageCount, int logLevel, int compressBits)
{
    try {
        if (!outboundFolder || !workFolder || !systemName)
            return -1;
        tarn::appendBackslashInPlace(outboundFolder);
        tarn::appendBackslashInPlace(workFolder);
        tarn::NewsExportArgs args;
        args.outboundFolder = outboundFolder;
        args.workFolder = workFolder;
        args.systemName = systemName;
        args.messageCount = messageCount;
        args.logLevel = logLevel;
        args.compressBits = compressBits;
        return tarn::exportNews(args);
    } catch (...) {
        return -1;
    }
}
