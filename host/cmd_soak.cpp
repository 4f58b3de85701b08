// Soak subcommands: long runs of one export in this process, sampling the
// process's handle count and memory as they go, so that a leak of handles
// or memory per call or per message shows as a rising figure.
//   soak-import: IMPMAIL until it returns -1, a sample every N calls.
//   soak-pop:    one POP3 session (initPopMail, getPopMail), a sample every
//                N messages, on the progress pair of each RETR.
//   soak-smtp:   many SMTP sessions (one initSmtpMail, a ConnectToHost
//                each), a sample every N sessions.
// Each prints the samples and a closing line
//   "handles first..last (max M), private bytes first..last (max M)"
// with the first sample taken after the first call or message, once the
// libraries have made what they keep for the process.
#include "commands.h"
#include "fileutil.h"
#include "library.h"
#include "options.h"
#include "popfollow.h"
#include "report.h"
#include "smtpfollow.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Sample {
    long n;
    DWORD handles;
    SIZE_T privateBytes;
    SIZE_T workingSet;
};

// The process's open handles from the system handle table (information
// class 16), for systems whose GetProcessHandleCount gives 0; 0 when the
// table cannot be read.
DWORD handlesFromSystemTable()
{
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    using Query = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);
    static Query query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<char> buffer(1 << 16);
    for (int tries = 0; tries < 8; ++tries) {
        ULONG needed = 0;
        LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
            const Entry* e = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
            DWORD mine = 0;
            for (ULONG i = 0; i < count; ++i)
                mine += e[i].ownerPid == GetCurrentProcessId();
            return mine;
        }
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
    }
    return 0;
}

// The process's handles by object type ("Event 12, File 3, ..."), found by
// asking the system for the type of every small handle value; "" when the
// system cannot say. Shows which kind of object a rising count is made of.
std::string handleTypes()
{
    struct TypeInformation {
        USHORT length;
        USHORT maximumLength;
        PWSTR buffer;
    };
    using Query = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    static Query query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    if (!query)
        return "";
    std::map<std::string, int> counts;
    alignas(8) char info[1024];
    for (ULONG_PTR value = 4; value < 0x4000; value += 4) {
        ULONG needed = 0;
        if (query(reinterpret_cast<HANDLE>(value), 2, info, sizeof info, &needed) != 0)
            continue;
        const TypeInformation* t = reinterpret_cast<const TypeInformation*>(info);
        std::string name;
        for (USHORT i = 0; t->buffer && i < t->length / 2; ++i)
            name += static_cast<char>(t->buffer[i] < 128 ? t->buffer[i] : '?');
        ++counts[name];
    }
    std::string out;
    for (const auto& c : counts)
        out += (out.empty() ? "" : ", ") + c.first + " " + std::to_string(c.second);
    return out;
}

Sample takeSample(long n)
{
    Sample s{n, 0, 0, 0};
    if (!GetProcessHandleCount(GetCurrentProcess(), &s.handles) || s.handles == 0)
        s.handles = handlesFromSystemTable();
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) {
        s.privateBytes = pmc.PagefileUsage;
        s.workingSet = pmc.WorkingSetSize;
    }
    return s;
}

void printSample(const char* what, const Sample& s)
{
    // The byte counts are SIZE_T, 64 bits wide in the 64-bit build: printed
    // whole, not cut to an unsigned long (32 bits in both builds).
    std::printf("%s %7ld: handles %5lu  private %9llu  working set %9llu\n", what, s.n,
                static_cast<unsigned long>(s.handles),
                static_cast<unsigned long long>(s.privateBytes),
                static_cast<unsigned long long>(s.workingSet));
}

void printSummary(const std::vector<Sample>& samples)
{
    if (samples.empty()) {
        std::printf("no samples\n");
        return;
    }
    DWORD maxH = 0;
    SIZE_T maxP = 0;
    for (const Sample& s : samples) {
        maxH = std::max(maxH, s.handles);
        maxP = std::max(maxP, s.privateBytes);
    }
    std::printf("handles %lu..%lu (max %lu), private bytes %llu..%llu (max %llu)\n",
                static_cast<unsigned long>(samples.front().handles),
                static_cast<unsigned long>(samples.back().handles), static_cast<unsigned long>(maxH),
                static_cast<unsigned long long>(samples.front().privateBytes),
                static_cast<unsigned long long>(samples.back().privateBytes),
                static_cast<unsigned long long>(maxP));
}

// The optional sampling interval at args[index] (default 1000).
bool sampleEvery(const char* command, const Args& args, std::size_t index, long& every)
{
    every = 1000;
    if (args.size() <= index || parseNumber(args[index], 1, 1000000000, every))
        return true;
    usageProblem(command, "every must be a whole number from 1 up, not '%s'", args[index].c_str());
    return false;
}

}  // namespace

int cmdSoakImport(const Args& args)
{
    if (args.size() < 4 || args.size() > 5)
        return usageError("soak-import");
    long every;
    if (!sampleEvery("soak-import", args, 4, every))
        return kExitUsage;
    Library dll("tarn32.dll");
    auto impmail = dll.get<tarn32::ImpMail>("IMPMAIL");
    if (!impmail)
        return 1;
    std::vector<Sample> samples;
    long calls = 0;
    for (;;) {
        std::vector<char> inbound(args[0].begin(), args[0].end());
        std::vector<char> work(args[1].begin(), args[1].end());
        inbound.resize(inbound.size() + 2, '\0');
        work.resize(work.size() + 2, '\0');
        if (impmail(inbound.data(), work.data(), args[2].c_str(), args[3].c_str(), 1) != 0)
            break;
        ++calls;
        if (calls == 1 || calls % every == 0) {
            samples.push_back(takeSample(calls));
            printSample("after call", samples.back());
        }
    }
    samples.push_back(takeSample(calls));
    printSample("at the end", samples.back());
    std::printf("%ld messages imported\n", calls);
    printSummary(samples);
    return 0;
}

int cmdSoakPop(const Args& args)
{
    if (args.size() < 5 || args.size() > 6)
        return usageError("soak-pop");
    long every;
    if (!sampleEvery("soak-pop", args, 5, every))
        return kExitUsage;
    Library dll("tarnpop.dll", Library::KeepLoaded);
    auto init = dll.get<tarnpop::InitPopMail>("initPopMail");
    auto get = dll.get<tarnpop::GetPopMail>("getPopMail");
    if (!init || !get)
        return 1;
    const int base = contract::kEventBase;
    HWND window = CreateWindowA("STATIC", "tarnwick soak-pop", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return 1;
    init(window, base, args[0].c_str(), "", args[1].c_str(), args[4].c_str(), 1);
    get(args[2].c_str(), args[3].c_str());
    std::vector<Sample> samples;
    PopFollowing how;
    how.show = false;
    how.onPair = [&](const PopWatch& watch, int w, int l) {
        if (l == 5 && w > 1 && (w - 1 == 1 || (w - 1) % every == 0)) {
            samples.push_back(takeSample(w - 1));
            printSample("after message", samples.back());
        } else if (l == -1) {
            std::printf("failed: (%d, %d)\n", w, l);
        }
    };
    PopWatch watch = followPopSession(window, base, args[0], how);
    long count = watch.count(), retrieved = watch.finished();
    bool complete = watch.complete();
    Sleep(200);  // the worker thread leaves the library after its last pair
    DestroyWindow(window);
    samples.push_back(takeSample(retrieved));
    printSample("at the end", samples.back());
    std::printf("%ld of %ld messages retrieved%s\n", retrieved, count, complete ? ", quit accepted" : "");
    printSummary(samples);
    return complete ? 0 : 1;
}

// soak-smtp: initSmtpMail once, then `count` sessions one after the other,
// each with the message file rewritten to carry its number ("Message-ID:
// <soakN@...>" and a line "marker N"), so the receiving side can check that
// every message arrived once.
int cmdSoakSmtp(const Args& args)
{
    if (args.size() < 7 || args.size() > 8)
        return usageError("soak-smtp");
    const std::string& folder = args[3];
    long count, port, level, every;
    if (!parseNumber(args[6], 1, 1000000000, count))
        return usageProblem("soak-smtp", "count must be a whole number from 1 up, not '%s'",
                            args[6].c_str());
    if (!parseNumber(args[1], 1, 65535, port))
        return usageProblem("soak-smtp", "port must be a whole number from 1 to 65535, not '%s'",
                            args[1].c_str());
    if (!parseNumber(args[5], 0, 9, level))
        return usageProblem("soak-smtp", "level must be a whole number from 0 to 9, not '%s'",
                            args[5].c_str());
    if (!sampleEvery("soak-smtp", args, 7, every))
        return kExitUsage;
    Library dll("postgate.dll", Library::KeepLoaded);
    auto init = dll.get<postgate::InitSmtpMail>("initSmtpMail");
    auto connect = dll.get<postgate::ConnectToHost>("ConnectToHost");
    if (!init || !connect)
        return 1;
    const int base = contract::kEventBase;
    HWND window = CreateWindowA("STATIC", "tarnwick soak-smtp", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (!window)
        return 1;
    const std::string envelope = folder + "\\soak.env";
    const std::string message = folder + "\\soak.msg";
    if (!writeWholeFile(envelope, "<soak@" + args[2] + ">\r\n<sink@sink.test>\r\n")) {
        return failure("cannot write %s", envelope.c_str());
    }
    init(window, base, folder.c_str(), args[0].c_str(), args[0].c_str(), args[4].c_str(),
         static_cast<int>(level), static_cast<int>(port), args[2].c_str());
    std::vector<Sample> samples;
    long accepted = 0, notAccepted = 0, refusedCalls = 0;
    for (long i = 0; i < count; ++i) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "From: <soak@%s>\r\nTo: <sink@sink.test>\r\nMessage-ID: <soak%ld@%s>\r\n"
                      "Subject: soak %ld\r\n\r\nmarker %ld\r\n",
                      args[2].c_str(), i, args[2].c_str(), i, i);
        if (!writeWholeFile(message, text)) {
            errorLine("cannot write %s", message.c_str());
            break;
        }
        // The worker leaves the library just after its last pair; a call
        // in that moment is refused with 0 and is made again.
        int rc;
        for (int tries = 0; (rc = connect(envelope.c_str(), message.c_str())) == 0 && tries < 200; ++tries) {
            ++refusedCalls;
            Sleep(5);
        }
        if (rc != 1) {
            std::printf("failed: ConnectToHost gave %d for session %ld\n", rc, i);
            break;
        }
        SmtpWatch end = followSmtpSession(window, base, -1, false);
        (end.delivered() && !end.refusals() ? accepted : notAccepted)++;
        if (i == 0 || (i + 1) % every == 0) {
            samples.push_back(takeSample(i + 1));
            printSample("after session", samples.back());
            if (i == 0)
                std::printf("handle types after session 1: %s\n", handleTypes().c_str());
        }
    }
    Sleep(200);  // the worker thread leaves the library after its last pair
    if (auto destroy = dll.get<postgate::DestroyIt>("DestroyIt"))
        destroy();
    DestroyWindow(window);
    samples.push_back(takeSample(accepted + notAccepted));
    printSample("at the end", samples.back());
    // The last sample after a pause: what the system still holds for the
    // last sessions' sockets is let go by then; a leak stays.
    Sleep(5000);
    samples.push_back(takeSample(accepted + notAccepted));
    printSample("5 s later", samples.back());
    std::printf("handle types 5 s later: %s\n", handleTypes().c_str());
    std::printf("%ld sessions, %ld accepted, %ld not accepted, %ld calls made again\n",
                accepted + notAccepted, accepted, notAccepted, refusedCalls);
    printSummary(samples);
    return accepted == count ? 0 : 1;
}
