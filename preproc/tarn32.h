// tarn32.dll: the message pre-processor, content codecs and dial-up control.
//
// Conventions of every export:
//   - extern "C", __stdcall (the callee removes the arguments), exported by
//     the names and ordinals of tarn32.def; the host finds them with
//     GetProcAddress.
//   - Strings are NUL-terminated single-byte strings. The callee copies what
//     it needs before returning and keeps no pointer.
//   - Folders are passed without a trailing backslash. IMPMAIL, IMPNEWS and
//     EXPNEWS append one backslash to their two folder arguments in the
//     caller's buffers, which must have room for one more character.
//   - Path widths (paths.h) are limits: a longer path makes the export fail.
//   - Results: 0 success, -1 failure, unless the export says otherwise.
//     Buffers named errorBuffer receive the failure's text.
//   - No exception leaves an export.
#pragma once

#define TARN_EXPORT extern "C" __stdcall

// Folder and file operations.
TARN_EXPORT int CHKDIR(const char* folderPath);
TARN_EXPORT int GENDIR(const char* folderPath);
TARN_EXPORT int FILERENAME(const char* oldPath, const char* newPath);
// Any value but -1 when an entry matched; foundName (260 bytes) gets its bare
// name. -1 and foundName untouched otherwise.
TARN_EXPORT int FIND_FILE(const char* folder, char* foundName, const char* pattern);

// UUCP mail import: 0 one message imported, -1 none.
TARN_EXPORT int IMPMAIL(char* inboundFolder, char* workFolder, const char* systemName1,
                        const char* systemName2, int logLevel);

// Message store access. textBuffer holds at least 32302 bytes (READNEWS:
// 32002); errorBuffer at least 256 (a longer error text is cut). Reads return
// count + 1 when all was read, the bytes consumed when a chunk limit stopped
// them (go on at offset + result), -1 on failure.
TARN_EXPORT int READMESSAGE(const char* storeFolder, int area, int offset, int count,
                            char* textBuffer, char* errorBuffer);
TARN_EXPORT int READNEWS(const char* storeFolder, int area, int offset, int count,
                         char* textBuffer, char* errorBuffer);
TARN_EXPORT int READMAPIMSG(const char* storeFolder, int area, int offset, int count,
                            char* textBuffer, char* errorBuffer);
// Exported as "_EXTRACTMESSAGE@24": the body of the stored message.
TARN_EXPORT int EXTRACTMESSAGE(const char* storeFolder, int area, int offset, int count,
                               char* textBuffer, char* errorBuffer);
TARN_EXPORT int WRITEMESSAGE(const char* storeFolder, int area, int* startOffset, int* length,
                             const char* text, char* errorBuffer);
TARN_EXPORT int WRITEMFORM(const char* storeFolder, int area, int* startOffset, int* length,
                           const char* text, char* errorBuffer);
TARN_EXPORT int FILEATTACH(const char* folder, const char* sourcePath, const char* targetName,
                           char* errorBuffer, int holdMode);

// UUCP mail export: 0 job queued, -1 none.
TARN_EXPORT int EXPMAIL(const char* outboundFolder, const char* workFolder, const char* recipients,
                        const char* systemName, const char* sender, int logLevel);
TARN_EXPORT int GENUUCP(const char* folder, const char* sourcePath, const char* targetName,
                        const char* leadText, char* errorBuffer, int holdMode);
TARN_EXPORT int WRITEUUCP(const char* filePath, int* startOffset, int* length, const char* text,
                          char* errorBuffer);

// UUCP news import: 0 one batch imported, 1 nothing imported, -1 an error
// stopped the import. compressBits 0: plain batches; above 0: "#! cunbatch"
// batches expanded by wincomp.exe with that code width.
TARN_EXPORT int IMPNEWS(char* inboundFolder, char* workFolder, const char* systemName1,
                        const char* systemName2, int logLevel, int compressBits);

// UUCP news export: 0 the job was queued, -1 none was (compressor not
// started, "rnews.z" missing, a job file not written). compressBits above 0:
// "rnews" is compressed by wincomp.exe and the data file marked "#! cunbatch".
TARN_EXPORT int EXPNEWS(char* outboundFolder, char* workFolder, const char* systemName,
                        int messageCount, int logLevel, int compressBits);
