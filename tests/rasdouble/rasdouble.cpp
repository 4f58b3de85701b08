#include "rasdouble.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The records in the layout of the sizes the double accepts (1052, 160),
// written out here from the platform's original definitions.
struct DialParams {
    DWORD dwSize;
    char szEntryName[256 + 1];
    char szPhoneNumber[128 + 1];
    char szCallbackNumber[128 + 1];
    char szUserName[256 + 1];
    char szPassword[256 + 1];
    char szDomain[15 + 1];
};
static_assert(sizeof(DialParams) == 1052, "original dial parameter record");

struct ConnStatus {
    DWORD dwSize;
    int rasconnstate;
    DWORD dwError;
    char szDeviceType[16 + 1];
    char szDeviceName[128 + 1];
};
static_assert(sizeof(ConnStatus) == 160, "original connection status record");

using Notifier = void WINAPI(UINT message, int state, DWORD error);
constexpr UINT kRasDialEvent = 0xCCCD;  // WM_RASDIALEVENT

struct Entry {
    std::string user;
    std::string password;
};

struct Connection {
    std::string entry;
    int state = kRasOpenPort;
    DWORD error = 0;
};

struct DialScript {
    std::vector<int> states;
    DWORD failError = 0;
    DWORD stepMs = 20;
};

// Everything below is guarded by lock: RAS calls come from the caller's
// thread, the dial's progress from the dial threads.
CRITICAL_SECTION lock;
std::map<std::string, Entry> phoneBook;
std::map<HANDLE, Connection> connections;
std::map<std::string, DWORD> forced;
std::map<std::string, int> calls;
DialScript script;
RasDoubleDialSeen lastDial;
HANDLE lastHandle = nullptr;
UINT_PTR nextHandle = 0x5100;

struct Locked {
    Locked() { EnterCriticalSection(&lock); }
    ~Locked() { LeaveCriticalSection(&lock); }
};

DialScript defaultScript()
{
    DialScript s;
    s.states = {kRasOpenPort,   kRasPortOpened,   kRasConnectDevice, kRasDeviceConnected,
                kRasAllDevicesConnected, kRasAuthenticate, kRasAuthenticated};
    return s;
}

// Counts the call and returns the forced result for it, or -1 for none.
long enter(const char* function)
{
    Locked l;
    ++calls[function];
    auto it = forced.find(function);
    if (it == forced.end())
        return -1;
    DWORD code = it->second;
    forced.erase(it);
    return static_cast<long>(code);
}

void copyField(char* to, std::size_t width, const std::string& from)
{
    std::snprintf(to, width, "%s", from.c_str());
}

void loadPhoneBookFile()
{
    const char* path = std::getenv("TARN_RAS_PHONEBOOK");
    if (!path)
        return;
    FILE* f = std::fopen(path, "r");
    if (!f)
        return;
    char line[1024];
    while (std::fgets(line, sizeof line, f)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        char* user = std::strchr(line, '\t');
        if (!user)
            continue;
        *user++ = '\0';
        char* password = std::strchr(user, '\t');
        if (password)
            *password++ = '\0';
        phoneBook[line] = Entry{user, password ? password : ""};
    }
    std::fclose(f);
}

struct DialJob {
    HANDLE connection;
    Notifier* notifier;
    DialScript script;
    bool credentialsMatch;
};

// The dial's progress, on a thread of the double's own.
DWORD WINAPI dialThread(void* p)
{
    DialJob* job = static_cast<DialJob*>(p);
    const std::vector<int>& states = job->script.states;
    DWORD failError = job->script.failError;
    if (!job->credentialsMatch && failError == 0)
        failError = kRasErrAuthFailure;
    for (std::size_t i = 0; i < states.size(); ++i) {
        bool last = i + 1 == states.size();
        // Wrong credentials fail at the authentication step.
        bool failsHere = failError != 0 &&
                         (last || (!job->credentialsMatch && states[i] == kRasAuthenticate));
        DWORD error = failsHere ? failError : 0;
        {
            Locked l;
            auto it = connections.find(job->connection);
            if (it == connections.end())
                break;  // hung up meanwhile
            it->second.state = states[i];
            it->second.error = error;
        }
        job->notifier(kRasDialEvent, states[i], error);
        if (failsHere)
            break;
        Sleep(job->script.stepMs);
        if (last) {
            {
                Locked l;
                auto it = connections.find(job->connection);
                if (it == connections.end())
                    break;
                it->second.state = kRasConnected;
            }
            job->notifier(kRasDialEvent, kRasConnected, 0);
        }
    }
    delete job;
    return 0;
}

}  // namespace

extern "C" {

DWORD WINAPI RasDialA(void* extensions, const char* phoneBookPath, DialParams* params,
                      DWORD notifierType, void* notifier, HANDLE* connection)
{
    long f = enter("RasDialA");
    if (f >= 0)
        return static_cast<DWORD>(f);
    if (!params || !connection)
        return kRasErrInvalidParameter;
    if (params->dwSize != sizeof(DialParams))
        return kRasErrInvalidSize;
    Locked l;
    std::memset(&lastDial, 0, sizeof lastDial);
    lastDial.recordSize = params->dwSize;
    copyField(lastDial.entry, sizeof lastDial.entry, params->szEntryName);
    copyField(lastDial.phoneNumber, sizeof lastDial.phoneNumber, params->szPhoneNumber);
    copyField(lastDial.callbackNumber, sizeof lastDial.callbackNumber, params->szCallbackNumber);
    copyField(lastDial.user, sizeof lastDial.user, params->szUserName);
    copyField(lastDial.password, sizeof lastDial.password, params->szPassword);
    copyField(lastDial.domain, sizeof lastDial.domain, params->szDomain);
    lastDial.notifierType = notifierType;
    lastDial.phoneBookGiven = phoneBookPath != nullptr;
    lastDial.extensionsGiven = extensions != nullptr;
    // Only the notification function of type 0 is played here.
    if (notifierType != 0 || !notifier)
        return kRasErrInvalidParameter;
    auto entry = phoneBook.find(params->szEntryName);
    if (entry == phoneBook.end())
        return kRasErrCannotFindEntry;
    HANDLE h = reinterpret_cast<HANDLE>(nextHandle++);
    connections[h] = Connection{params->szEntryName};
    lastHandle = h;
    *connection = h;
    DialJob* job = new DialJob{h, reinterpret_cast<Notifier*>(notifier), script,
                               // An entry without stored credentials takes any.
                               entry->second.user.empty() ||
                                   (entry->second.user == params->szUserName &&
                                    entry->second.password == params->szPassword)};
    HANDLE t = CreateThread(nullptr, 0, dialThread, job, 0, nullptr);
    if (t)
        CloseHandle(t);
    else
        delete job;
    return 0;
}

#ifndef RASDOUBLE_DIAL_ONLY
DWORD WINAPI RasHangUpA(HANDLE connection)
{
    long f = enter("RasHangUpA");
    if (f >= 0)
        return static_cast<DWORD>(f);
    Locked l;
    return connections.erase(connection) ? 0u : static_cast<DWORD>(kRasErrInvalidHandle);
}

DWORD WINAPI RasGetConnectStatusA(HANDLE connection, ConnStatus* status)
{
    long f = enter("RasGetConnectStatusA");
    if (f >= 0)
        return static_cast<DWORD>(f);
    if (!status)
        return kRasErrInvalidParameter;
    if (status->dwSize != sizeof(ConnStatus))
        return kRasErrInvalidSize;
    Locked l;
    auto it = connections.find(connection);
    if (it == connections.end())
        return kRasErrInvalidHandle;
    status->rasconnstate = it->second.state;
    status->dwError = it->second.error;
    copyField(status->szDeviceType, sizeof status->szDeviceType, "modem");
    copyField(status->szDeviceName, sizeof status->szDeviceName, "Double Modem");
    return 0;
}

DWORD WINAPI RasGetEntryDialParamsA(const char* phoneBookPath, DialParams* params, BOOL* passwordStored)
{
    long f = enter("RasGetEntryDialParamsA");
    if (f >= 0)
        return static_cast<DWORD>(f);
    if (!params || !passwordStored)
        return kRasErrBufferInvalid;
    if (params->dwSize != sizeof(DialParams))
        return kRasErrInvalidSize;
    if (phoneBookPath && GetFileAttributesA(phoneBookPath) == INVALID_FILE_ATTRIBUTES)
        return kRasErrCannotOpenPhonebook;
    Locked l;
    auto it = phoneBook.find(params->szEntryName);
    if (it == phoneBook.end())
        return kRasErrCannotFindEntry;
    copyField(params->szUserName, sizeof params->szUserName, it->second.user);
    copyField(params->szPassword, sizeof params->szPassword, it->second.password);
    *passwordStored = !it->second.password.empty();
    return 0;
}
#endif

void __stdcall RasDoubleReset()
{
    Locked l;
    phoneBook.clear();
    connections.clear();
    forced.clear();
    calls.clear();
    script = defaultScript();
    std::memset(&lastDial, 0, sizeof lastDial);
    lastHandle = nullptr;
}

void __stdcall RasDoubleAddEntry(const char* entry, const char* user, const char* password)
{
    Locked l;
    phoneBook[entry] = Entry{user, password};
}

void __stdcall RasDoubleSetDialScript(const int* states, int count, DWORD failError, DWORD stepMs)
{
    Locked l;
    script.states.assign(states, states + count);
    script.failError = failError;
    script.stepMs = stepMs;
}

void __stdcall RasDoubleFailNext(const char* function, DWORD code)
{
    Locked l;
    forced[function] = code;
}

int __stdcall RasDoubleCalls(const char* function)
{
    Locked l;
    auto it = calls.find(function);
    return it == calls.end() ? 0 : it->second;
}

void __stdcall RasDoubleLastDial(RasDoubleDialSeen* seen)
{
    Locked l;
    *seen = lastDial;
}

HANDLE __stdcall RasDoubleLastHandle()
{
    Locked l;
    return lastHandle;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&lock);
        script = defaultScript();
        loadPhoneBookFile();
    }
    return TRUE;
}
