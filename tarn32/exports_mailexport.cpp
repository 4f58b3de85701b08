// Exports: UUCP mail export and the two tools that prepare "rmail.z".
// EXPMAIL logs to "mail.log"; GENUUCP and WRITEUUCP only return -1 and a
// text in errorBuffer.
#include "tarn32.h"

#include "frame/errortext.h"
#include "frame/paths.h"
#include "store/areawrite.h"
#include "store/fileattach.h"
#include "uucpmail/mailexport.h"

#include <string>

TARN_EXPORT int EXPMAIL(const char* outboundFolder, const char* workFolder, const char* recipients,
                        const char* systemName, const char* sender, int logLevel)
{
    try {
        if (!outboundFolder || !workFolder || !recipients || !systemName || !sender)
            return -1;
        tarn::MailExportArgs args;
        args.outboundFolder = outboundFolder;
        args.workFolder = workFolder;
        args.recipients = recipients;
        args.systemName = systemName;
        args.sender = sender;
        args.logLevel = logLevel;
        return tarn::exportMail(args);
    } catch (...) {
        return -1;
    }
}

TARN_EXPORT int GENUUCP(const char* folder, const char* sourcePath, const char* targetName,
                        const char* leadText, char* errorBuffer, int holdMode)
{
    try {
        if (!folder || !sourcePath || !targetName || !leadText || !errorBuffer)
            return -1;
        tarn::AttachRequest request;
        request.folder = folder;
        request.sourcePath = sourcePath;
        request.targetName = targetName;
        request.leadText = leadText;
        request.holdMode = holdMode;
        tarn::AttachOutcome r = tarn::attachFile(request, tarn::kAreaPathWidth);
        switch (r.error) {
        case tarn::AttachError::kNone:
            return 0;
        case tarn::AttachError::kSource:
            // This text names the target folder, not the source.
            tarn::copyErrorText(errorBuffer, "Cannot open file \r\n" + r.targetFolder);
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

TARN_EXPORT int WRITEUUCP(const char* filePath, int* startOffset, int* length, const char* text,
                          char* errorBuffer)
{
    try {
        if (!filePath || !startOffset || !length || !text || !errorBuffer)
            return -1;
        tarn::AppendOutcome r =
            tarn::appendText(filePath, text, tarn::EmptyStart::kOne, tarn::LineBreaking::kNone);
        if (!r.ok) {
            tarn::copyErrorText(errorBuffer, r.error);
            return -1;
        }
        *startOffset = static_cast<int>(r.start);
        *length = static_cast<int>(r.length);
        return 0;
    } catch (...) {
        return -1;
    }
}
