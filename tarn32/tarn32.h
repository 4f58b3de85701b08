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
// Content codecs.
// MIMEDECODE: the first base64 body of the message at inPath into outPath
// (at most 79 characters). 0 once the message is read, -1 when a file
// cannot be opened or a later part names outPath, or when the decoded bytes
// could not all be written (outPath is then removed).
TARN_EXPORT int MIMEDECODE(const char* inPath, const char* outPath);
// WRITEQUOTED: replaces the text file at path by its quoted-printable form.
// 0, or -1 with the reason in errorBuffer (the file is then unchanged).
// Arguments 2 and 4 are not used.
TARN_EXPORT int WRITEQUOTED(const char* path, const char* unused2, char* errorBuffer, int unused4);
// MIMEENCODE: inPath as a base64 attachment part named attachmentName. 0, or
// -1 when a file cannot be opened or the part cannot be written whole (the
// output is then removed).
TARN_EXPORT int MIMEENCODE(const char* inPath, const char* outPath, const char* attachmentName);
// DECODE_ISO: Latin-1 quoted-printable text to code page 850. 0 and
// "Success", or -2 and the open error in statusBuffer (at least 256 bytes;
// a longer text, one naming a long path, is cut).
TARN_EXPORT int DECODE_ISO(const char* inPath, const char* outPath, char* statusBuffer);
// Exported as _UUENCODE@20: UU encoding or decoding, by the extension of
// inFile; diagnostics on standard output. Always 0.
TARN_EXPORT int UUENCODE(const char* inFile, const char* outFile, const char* beginName,
                         const char* countDir, int maxKB);

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
// Dial-up control over the Remote Access Service (rasapi32.dll, loaded on
// first use). -1000 when that library cannot be loaded or lacks the function
// needed (TarnGetDialParams: -1). window points to the handle of the window
// that receives the progress as 0x401 (wParam state, lParam error).
TARN_EXPORT int TARNDIAL(const int* window, int unused2, const char* entry, const char* user,
                         const char* password, int unused6);
// Returns 3 seconds after the hang-up, whatever its result.
TARN_EXPORT int TARNHANGUP();
TARN_EXPORT int TarnGetConnectStatus(int* error, int* state);
// user and password: 257 bytes each, written only on 0. -10, -11, -12 for
// the RAS errors 610, 621, 623.
TARN_EXPORT int TarnGetDialParams(const char* entry, char* user, char* password);
