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
