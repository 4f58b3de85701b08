// tarnsvc.exe: runs the host application tarnwick.exe unattended as a
// Windows NT service.
//
//   tarnsvc /Install   register the service "Tarnwick Mail Server"
//   tarnsvc /Remove    unregister it
//   tarnsvc            run as the service (started by the service manager)
//
// It links against no library of the system; the host application is
// steered only through its window (ntservice.h).
#include "commandline.h"
#include "install.h"
#include "ntservice.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr DWORD kServiceMainEndWaitMs = 10000;

void WINAPI serviceMainEntry(DWORD, LPSTR*)
{
    try {
        if (theService)
            theService->serviceMain();
    } catch (...) {
    }
}

int runDispatcher()
{
    SERVICE_TABLE_ENTRYA table[] = {{theService->serviceName(), serviceMainEntry}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        std::printf("Service Ctrl Dispatcher returned error\n");
        return -1;
    }
    // The dispatcher is back after the first SERVICE_STOPPED; the service
    // thread still reports once more through theService.
    theService->waitForServiceMain(kServiceMainEndWaitMs);
    return 0;
}

void printUsage(const char* program)
{
    std::printf("%s service\n", program);
    std::printf("/Install to register this service\n");
    std::printf("/Remove  to un-register the service\n");
}

}  // namespace

int main(int argc, char** argv)
{
    NTService service;
    theService = &service;
    int exitCode = 0;
    switch (actionFor(argc > 1 ? argv[1] : nullptr)) {
    case Action::RunService:
        exitCode = runDispatcher();
        break;
    case Action::Install:
        installService(service.serviceName(), service.displayName(),
                       programAsTyped(GetCommandLineA()));
        break;
    case Action::Remove:
        removeService(service.serviceName());
        break;
    case Action::Usage:
        printUsage(argc > 0 ? argv[0] : "tarnsvc");
        break;
    }
    std::fflush(stdout);
    theService = nullptr;
    return exitCode;
}
