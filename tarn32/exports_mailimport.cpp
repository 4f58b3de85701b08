// Export: UUCP mail import.
#include "tarn32.h"

#include "frame/paths.h"
#include "uucpmail/mailimport.h"

TARN_EXPORT int IMPMAIL(char* inboundFolder, char* workFolder, const char* systemName1,
                        const char* systemName2, int logLevel)
{
    try {
        if (!inboundFolder || !workFolder || !systemName1 || !systemName2)
            return -1;
        tarn::appendBackslashInPlace(inboundFolder);
        tarn::appendBackslashInPlace(workFolder);
        tarn::MailImportArgs args;
        args.inboundFolder = inboundFolder;
        args.workFolder = workFolder;
        args.systemName1 = systemName1;
        args.systemName2 = systemName2;
        args.logLevel = logLevel;
        return tarn::importMail(args);
    } catch (...) {
        return -1;
    }
}
