// tarnsvc.exe under Wine's service control manager: installation and removal
// from its command line, and whole service runs with the traced build
// (tarnsvc_traced.exe, which also writes each status report it makes to
// "tarnsvc.status" beside itself) steering tarnwick.exe AUTO or a host that
// never shows its window. The service name is the system's one, so these
// cases run one at a time (and apart from the other tests that open the
// host window).
#include "childprocess.h"
#include "testdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testsupport::exeFolder;
using testsupport::ProgramRun;
using testsupport::readFile;
using testsupport::runCapturing;
using testsupport::TestDir;

constexpr char kName[] = "Tarnwick Mail Server";
constexpr DWORD kExitMinusOne = 0xFFFFFFFFu;

struct Report {
    DWORD state;
    DWORD exitCode;
    DWORD tick;
};

std::vector<Report> readReportsOnce(const std::string& folder)
{
    std::vector<Report> out;
    std::istringstream in(readFile(folder + "\\tarnsvc.status"));
    Report r;
    while (in >> r.state >> r.exitCode >> r.tick)
        out.push_back(r);
    return out;
}

// The service reports "stopped" twice, and the manager shows the state as
// soon as the first report is made, before the program has traced it or
// made the second. So a test that has seen "stopped" waits (up to 10 s)
// for the `expected` reports it checks; fewer are returned as they are.
std::vector<Report> readReports(const std::string& folder, std::size_t expected)
{
    DWORD start = GetTickCount();
    std::vector<Report> out = readReportsOnce(folder);
    while (out.size() < expected && GetTickCount() - start < 10000) {
        Sleep(50);
        out = readReportsOnce(folder);
    }
    return out;
}

std::vector<DWORD> statesOf(const std::vector<Report>& reports)
{
    std::vector<DWORD> s;
    for (const Report& r : reports)
        s.push_back(r.state);
    return s;
}

struct ScHandle {
    SC_HANDLE h;
    explicit ScHandle(SC_HANDLE x) : h(x) {}
    ~ScHandle()
    {
        if (h)
            CloseServiceHandle(h);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
};

bool query(SERVICE_STATUS& status)
{
    ScHandle m(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle s(m.h ? OpenServiceA(m.h, kName, SERVICE_QUERY_STATUS) : nullptr);
    return s.h && QueryServiceStatus(s.h, &status);
}

// Polls the service manager until the service is in `state`.
bool waitState(DWORD state, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    SERVICE_STATUS st;
    while (!(query(st) && st.dwCurrentState == state)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

bool sendControl(DWORD control)
{
    ScHandle m(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle s(m.h ? OpenServiceA(m.h, kName, SERVICE_STOP | SERVICE_INTERROGATE) : nullptr);
    SERVICE_STATUS st;
    return s.h && ControlService(s.h, control, &st);
}

// Starts the installed service. Right after the previous test's service
// ended, the service manager may still be busy with it for a moment and
// refuse with one of the passing states below: those are tried again for
// up to 15 s. Any other refusal is a failure, and its code is printed.
bool startService()
{
    const DWORD start = GetTickCount();
    for (;;) {
        ScHandle m(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        ScHandle s(m.h ? OpenServiceA(m.h, kName, SERVICE_START) : nullptr);
        if (s.h && StartServiceA(s.h, 0, nullptr))
            return true;
        DWORD error = GetLastError();
        bool passing = error == ERROR_SERVICE_DATABASE_LOCKED ||
                       error == ERROR_SERVICE_ALREADY_RUNNING ||
                       error == ERROR_SERVICE_MARKED_FOR_DELETE;
        if (!passing || GetTickCount() - start > 15000) {
            std::fprintf(stderr, "StartService failed: error %lu\n", error);
            return false;
        }
        Sleep(200);
    }
}

// Removes what an earlier, broken run may have left: stops and deletes.
void removeLeftover()
{
    SERVICE_STATUS st;
    if (!query(st))
        return;
    if (st.dwCurrentState != SERVICE_STOPPED) {
        sendControl(SERVICE_CONTROL_STOP);
        waitState(SERVICE_STOPPED, 20000);
    }
    ScHandle m(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ScHandle s(m.h ? OpenServiceA(m.h, kName, DELETE) : nullptr);
    if (s.h)
        DeleteService(s.h);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

// Position of the first line of the AUTO log that contains text, or npos.
std::size_t logPosition(const std::string& log, const char* text) { return log.find(text); }

DWORD tickAfter(const std::string& log, const char* text)
{
    std::size_t at = log.find(text);
    return at == std::string::npos ? 0 : std::strtoul(log.c_str() + at + std::strlen(text), nullptr, 10);
}

DWORD hostProcessId(const std::string& text, const char* marker)
{
    std::size_t at = text.find(marker);
    return at == std::string::npos ? 0 : std::strtoul(text.c_str() + at + std::strlen(marker), nullptr, 10);
}

// True when that process has ended with exit code `code` (or cannot be
// opened any more because it is gone).
bool processEnded(DWORD pid, DWORD code)
{
    HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!h)
        return true;
    bool ended = WaitForSingleObject(h, 5000) == WAIT_OBJECT_0;
    DWORD exit = 0;
    GetExitCodeProcess(h, &exit);
    CloseHandle(h);
    return ended && exit == code;
}

class ServiceManagerTest : public ::testing::Test {
protected:
    void SetUp() override { removeLeftover(); }
    void TearDown() override { removeLeftover(); }

    // The service's folder: the traced (or shipped) service and a host.
    std::string prepare(bool traced, const char* host, const char* autoWork = nullptr)
    {
        std::string bin = exeFolder();
        EXPECT_TRUE(CopyFileA((bin + (traced ? "\\tarnsvc_traced.exe" : "\\tarnsvc.exe")).c_str(),
                              dir.file("tarnsvc.exe").c_str(), FALSE));
        if (host) {
            EXPECT_TRUE(CopyFileA((bin + "\\" + host).c_str(), dir.file("tarnwick.exe").c_str(), FALSE));
        }
        if (autoWork)
            testsupport::writeFile(dir.file("tarnwick.auto"), autoWork);
        return dir.file("tarnsvc.exe");
    }
    ProgramRun service(const std::string& program, const char* args)
    {
        return runCapturing(program + " " + args);
    }

    TestDir dir;
};

TEST_F(ServiceManagerTest, InstallAndRemoveByCommandLineInAnyLetterCase)
{
    std::string program = prepare(false, nullptr);
    struct Step {
        const char* args;
        const char* output;
        bool installedAfter;
    } steps[] = {
        {"/Install", "Service created OK\n", true},
        {"/Install", "Failed to create service\n", true},
        {"/remove", "Service deleted OK\n", false},
        {"/REMOVE", "Failed to open service\n", false},
        {"/install and more", "Service created OK\n", true},
        {"/Remove", "Service deleted OK\n", false},
        {"/Remove", "Failed to open service\n", false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.args);
        ProgramRun run = service(program, s.args);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.output, s.output);
        EXPECT_EQ(run.exitCode, 0u);
        SERVICE_STATUS st;
        EXPECT_EQ(query(st), s.installedAfter);
    }
}

TEST_F(ServiceManagerTest, InstallationRecordsTheExactParametersAndTheNameAsTyped)
{
    std::string program = prepare(false, nullptr);
    struct Case {
        std::string commandLine;
        std::string folder;
        std::string binaryPath;
    } cases[] = {
        {program + " /Install", "", program},
        {"tarnsvc.exe /Install", dir.path(), "tarnsvc.exe"},  // a relative name stays relative
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        ProgramRun run = runCapturing(c.commandLine, c.folder);
        ASSERT_EQ(run.output, "Service created OK\n");
        ScHandle m(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        ScHandle s(OpenServiceA(m.h, kName, SERVICE_QUERY_CONFIG));
        ASSERT_NE(s.h, nullptr);
        std::vector<char> buf(8192);
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data());
        DWORD needed = 0;
        ASSERT_TRUE(QueryServiceConfigA(s.h, config, static_cast<DWORD>(buf.size()), &needed));
        EXPECT_EQ(config->dwServiceType, 16u);
        EXPECT_EQ(config->dwStartType, 3u);
        EXPECT_EQ(config->dwErrorControl, 1u);
        EXPECT_EQ(std::string(config->lpBinaryPathName), c.binaryPath);
        EXPECT_EQ(std::string(config->lpDisplayName), kName);
        EXPECT_TRUE(!config->lpLoadOrderGroup || !*config->lpLoadOrderGroup);
        EXPECT_TRUE(!config->lpDependencies || !*config->lpDependencies);
        EXPECT_EQ(std::string(config->lpServiceStartName ? config->lpServiceStartName : ""),
                  "LocalSystem");
        EXPECT_EQ(service(program, "/Remove").output, "Service deleted OK\n");
    }
}

TEST_F(ServiceManagerTest, UsageForAnyOtherArgumentAndNoDispatcherOutsideTheManager)
{
    std::string program = prepare(false, nullptr);
    for (const char* arg : {"/Installer", "Install", "/?", "-remove"}) {
        SCOPED_TRACE(arg);
        ProgramRun run = service(program, arg);
        EXPECT_EQ(run.output, program + " service\n/Install to register this service\n"
                                        "/Remove  to un-register the service\n");
        EXPECT_EQ(run.exitCode, 0u);
    }
    ProgramRun relative = runCapturing("tarnsvc /what", dir.path());
    EXPECT_EQ(lines(relative.output).at(0), "tarnsvc service");

    ProgramRun plain = runCapturing(program);
    EXPECT_EQ(plain.output, "Service Ctrl Dispatcher returned error\n");
    EXPECT_EQ(plain.exitCode, kExitMinusOne);
}

TEST_F(ServiceManagerTest, StopControlRunsTheShutdownHandshakeWithTheHost)
{
    std::string program = prepare(true, "tarnwick.exe");
    ASSERT_EQ(service(program, "/Install").output, "Service created OK\n");
    ASSERT_TRUE(startService());
    ASSERT_TRUE(waitState(SERVICE_RUNNING, 80000));
    ASSERT_TRUE(sendControl(SERVICE_CONTROL_INTERROGATE));  // reports twice
    ASSERT_TRUE(sendControl(SERVICE_CONTROL_STOP));
    ASSERT_TRUE(waitState(SERVICE_STOPPED, 30000));

    std::vector<Report> reports = readReports(dir.path(), 9);
    EXPECT_EQ(statesOf(reports), (std::vector<DWORD>{2, 2, 4, 4, 4, 3, 3, 1, 1}));
    ASSERT_EQ(reports.size(), 9u);
    EXPECT_EQ(reports[7].exitCode, 0u);
    EXPECT_EQ(reports[8].exitCode, kExitMinusOne);
    SERVICE_STATUS st;
    ASSERT_TRUE(query(st));
    EXPECT_EQ(st.dwWin32ExitCode, kExitMinusOne);

    // The host got 1024, then 1023, closed its window and has ended; the
    // service waited 2500 ms after the window had gone.
    // Running was reported once the host's window was up (the service and
    // its host live in the service window station: the test cannot see it).
    std::string log = readFile(dir.file("tarnwick.log"));
    DWORD upAt = tickAfter(log, "\"roziradedeze39\" is up at tick ");
    ASSERT_NE(upAt, 0u) << log;
    EXPECT_GE(reports[2].tick, upAt);
    std::size_t got1024 = logPosition(log, "received 1024");
    std::size_t got1023 = logPosition(log, "received 1023");
    ASSERT_NE(got1024, std::string::npos) << log;
    ASSERT_NE(got1023, std::string::npos) << log;
    EXPECT_LT(got1024, got1023);
    EXPECT_LT(got1023, logPosition(log, "window closed"));
    DWORD closedAt = tickAfter(log, "window closed at tick ");
    EXPECT_GE(reports[7].tick - closedAt, 2450u);  // 2500, less the tick's granularity
    EXPECT_TRUE(processEnded(hostProcessId(log, "started (process "), 0));
}

TEST_F(ServiceManagerTest, HostClosingItsOwnWindowStopsTheServiceWithoutStopPending)
{
    std::string program = prepare(true, "tarnwick.exe", "pause 8\nquit\n");
    ASSERT_EQ(service(program, "/Install").output, "Service created OK\n");
    ASSERT_TRUE(startService());
    ASSERT_TRUE(waitState(SERVICE_RUNNING, 80000));
    ASSERT_TRUE(waitState(SERVICE_STOPPED, 40000));

    std::vector<Report> reports = readReports(dir.path(), 5);
    EXPECT_EQ(statesOf(reports), (std::vector<DWORD>{2, 2, 4, 1, 1}));
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_EQ(reports[3].exitCode, 0u);
    EXPECT_EQ(reports[4].exitCode, kExitMinusOne);
    std::string log = readFile(dir.file("tarnwick.log"));
    EXPECT_EQ(log.find("received 10"), std::string::npos) << log;  // no handshake
    // Noticed within one 250 ms poll, then the 2500 ms wait (some slack for
    // a loaded machine on the upper side).
    DWORD closedAt = tickAfter(log, "window closed at tick ");
    ASSERT_NE(closedAt, 0u) << log;
    EXPECT_GE(reports[3].tick - closedAt, 2450u);
    EXPECT_LT(reports[3].tick - closedAt, 2500u + 250u + 1000u);
}

TEST_F(ServiceManagerTest, HostThatNeverShowsItsWindowGetsThirteenAttemptsAndIsEnded)
{
    std::string program = prepare(true, "windowless_host.exe");
    ASSERT_EQ(service(program, "/Install").output, "Service created OK\n");
    ASSERT_TRUE(startService());
    ASSERT_TRUE(waitState(SERVICE_STOPPED, 120000));

    std::vector<Report> reports = readReports(dir.path(), 16);
    std::vector<DWORD> expected(14, 2);
    expected.push_back(1);
    expected.push_back(1);
    EXPECT_EQ(statesOf(reports), expected);
    ASSERT_EQ(reports.size(), 16u);
    EXPECT_EQ(reports[14].exitCode, 0u);
    EXPECT_EQ(reports[15].exitCode, kExitMinusOne);
    // After the last attempt: 5000 ms of its sleep, a 250 ms poll, 2500 ms.
    EXPECT_GE(reports[14].tick - reports[13].tick, 7700u);
    // The host was ended by the service, with exit code 0.
    DWORD pid = hostProcessId(readFile(dir.file("host.pid")), "");
    ASSERT_NE(pid, 0u);
    EXPECT_TRUE(processEnded(pid, 0));
}

}  // namespace
