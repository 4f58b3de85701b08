// A test double of the Remote Access Service library rasapi32.dll, built as
// rasapi32.dll in a folder of its own (bin/rasdouble). It keeps a phone book
// of entries with stored credentials in memory; a dial checks the record it is
// handed, returns a connection handle at once and reports a sequence of
// connection states from a thread of its own through the notification
// function (notifier type 0); status and hang-up act on the handles it gave.
//
// Besides the four RAS functions it exports a few RasDouble* functions with
// which a test sets up the phone book and the dial, forces a result and reads
// what it was handed. TARN_RAS_PHONEBOOK may name a file of lines
// "entry<TAB>user<TAB>password" read when the library loads, so that a
// program that knows nothing of the double can be run against it.
//
// The bin/rasdouble_partial build exports RasDialA and the RasDouble*
// functions only: a RAS library that lacks the other functions.
#pragma once

#include <windows.h>

// Connection states of the Remote Access Service (RASCONNSTATE).
enum RasDoubleState : int {
    kRasOpenPort = 0,
    kRasPortOpened = 1,
    kRasConnectDevice = 2,
    kRasDeviceConnected = 3,
    kRasAllDevicesConnected = 4,
    kRasAuthenticate = 5,
    kRasAuthenticated = 14,
    kRasConnected = 0x2000,
    kRasDisconnected = 0x2001,
};

// RAS error codes the double gives.
enum RasDoubleError : DWORD {
    kRasErrInvalidHandle = 6,
    kRasErrInvalidParameter = 87,
    kRasErrBufferInvalid = 610,
    kRasErrCannotOpenPhonebook = 621,
    kRasErrCannotFindEntry = 623,
    kRasErrInvalidSize = 632,
    kRasErrAuthFailure = 691,
};

// What the last RasDialA was handed.
struct RasDoubleDialSeen {
    DWORD recordSize;
    char entry[257];
    char phoneNumber[129];
    char callbackNumber[129];
    char user[257];
    char password[257];
    char domain[16];
    DWORD notifierType;
    int phoneBookGiven;   // non-zero when a phone book path was passed
    int extensionsGiven;  // non-zero when dial extensions were passed
};

// Test-facing exports (names undecorated in the .def file).
extern "C" {
// Empties the phone book, forgets every connection and forced result, and
// restores the default dial script and zero call counts.
void __stdcall RasDoubleReset();
void __stdcall RasDoubleAddEntry(const char* entry, const char* user, const char* password);
// The states a dial reports, in order, stepMs apart. When failError is not
// 0 the dial ends after the last state with that error (its last
// notification carries it); otherwise the connection ends up connected.
void __stdcall RasDoubleSetDialScript(const int* states, int count, DWORD failError, DWORD stepMs);
// The next call of the named RAS function ("RasHangUpA", ...) returns code
// without doing anything else.
void __stdcall RasDoubleFailNext(const char* function, DWORD code);
// How often the named RAS function has been called since the last reset.
int __stdcall RasDoubleCalls(const char* function);
void __stdcall RasDoubleLastDial(RasDoubleDialSeen* seen);
// The connection handle the last successful dial gave, 0 if none.
HANDLE __stdcall RasDoubleLastHandle();
}
