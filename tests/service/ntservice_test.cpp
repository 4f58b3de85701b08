// tarnsvc's command line and its control handler, without the service
// manager: every status report is caught by this test's traceStatusReport.
#include "commandline.h"
#include "ntservice.h"

#include <gtest/gtest.h>

#include <vector>

std::vector<SERVICE_STATUS> reported;
void traceStatusReport(const SERVICE_STATUS& status) { reported.push_back(status); }

namespace {

TEST(ServiceCommandLine, OnlyTheFirstArgumentCountsAndOnlyAsciiLettersFoldCase)
{
    struct Case {
        const char* arg;
        Action action;
    } cases[] = {
        {nullptr, Action::RunService}, {"/Install", Action::Install}, {"/install", Action::Install},
        {"/INSTALL", Action::Install}, {"/iNsTaLl", Action::Install}, {"/Remove", Action::Remove},
        {"/remove", Action::Remove},   {"/REMOVE", Action::Remove},   {"Install", Action::Usage},
        {"-Install", Action::Usage},   {"/Installer", Action::Usage}, {"/Instal", Action::Usage},
        {"", Action::Usage},           {"/Remove ", Action::Usage},   {"/\xC9nstall", Action::Usage},
        {"?", Action::Usage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arg ? c.arg : "(none)");
        EXPECT_EQ(actionFor(c.arg), c.action);
    }
}

TEST(ServiceCommandLine, ProgramNameIsTheFirstWordAsTyped)
{
    struct Case {
        const char* commandLine;
        const char* program;
    } cases[] = {
        {"tarnsvc.exe /Install", "tarnsvc.exe"},
        {"tarnsvc /Install", "tarnsvc"},
        {"C:\\svc\\tarnsvc.exe", "C:\\svc\\tarnsvc.exe"},
        {"  ..\\bin\\tarnsvc.exe\t/Install", "..\\bin\\tarnsvc.exe"},
        {"\"C:\\Program Files\\T\\tarnsvc.exe\" /Install", "\"C:\\Program Files\\T\\tarnsvc.exe\""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_EQ(programAsTyped(c.commandLine), c.program);
    }
}

TEST(ServiceStatus, StartsAsTheStoppedOwnProcessServiceAcceptingStopAndShutdown)
{
    NTService service;
    reported.clear();
    service.control(SERVICE_CONTROL_INTERROGATE);
    ASSERT_EQ(reported.size(), 2u);
    const SERVICE_STATUS& s = reported[0];
    EXPECT_EQ(s.dwServiceType, 16u);
    EXPECT_EQ(s.dwCurrentState, 1u);
    EXPECT_EQ(s.dwControlsAccepted, 5u);
    EXPECT_EQ(s.dwWin32ExitCode, 0u);
    EXPECT_EQ(s.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(s.dwCheckPoint, 0u);
    EXPECT_EQ(s.dwWaitHint, 35000u);
    EXPECT_STREQ(service.serviceName(), "Tarnwick Mail Server");
    EXPECT_STREQ(service.displayName(), "Tarnwick Mail Server");
}

TEST(ServiceStatus, EachControlReportsAsTheHandlerTableSays)
{
    struct Case {
        const char* name;
        DWORD control;
        std::vector<DWORD> states;  // reported, in order
        bool stop;
    } cases[] = {
        {"stop", SERVICE_CONTROL_STOP, {3, 3}, true},
        {"pause", SERVICE_CONTROL_PAUSE, {1}, false},
        {"continue", SERVICE_CONTROL_CONTINUE, {1}, false},
        {"interrogate", SERVICE_CONTROL_INTERROGATE, {1, 1}, false},
        {"shutdown leaves the state", SERVICE_CONTROL_SHUTDOWN, {1}, true},
        {"parameter change", SERVICE_CONTROL_PARAMCHANGE, {1}, false},
        {"user-defined 200", 200, {1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NTService service;  // in its initial state, SERVICE_STOPPED
        reported.clear();
        service.control(c.control);
        std::vector<DWORD> states;
        for (const SERVICE_STATUS& r : reported)
            states.push_back(r.dwCurrentState);
        EXPECT_EQ(states, c.states);
        EXPECT_EQ(service.stopRequested(), c.stop);
    }
}

}  // namespace

#include "dll.h"
#include "imagecheck.h"
#include "testdir.h"


namespace {

TEST(ServiceProgram, ImportsOnlySystemLibrariesAndNoneOfTheSystemsOwn)
{
    for (const char* exe : {"tarnsvc.exe", "tarnsvc_traced.exe"}) {
        SCOPED_TRACE(exe);
        testsupport::PeImage img = testsupport::readPeImage(testsupport::exeFolder() + "\\" + exe);
        testsupport::expectShippedImage(img, testsupport::kOwnMachine, shipped::kNoExports);
        bool advapi = false;
        for (const std::string& dll : img.importedDlls)
            advapi = advapi || shipped::upperDllName(dll) == "ADVAPI32.DLL";
        EXPECT_TRUE(advapi);  // the service manager's functions
    }
}

}  // namespace
