#include "install.h"

#include <windows.h>

#include <cstdio>
#include <utility>

namespace {

// A service control manager or service handle, closed on destruction.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h = nullptr) : h_(h) {}
    ~ScHandle() { reset(); }
    ScHandle(ScHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    ScHandle& operator=(ScHandle&& o) noexcept
    {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;

    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    void reset()
    {
        if (h_)
            CloseServiceHandle(h_);
        h_ = nullptr;
    }
    SC_HANDLE h_;
};

ScHandle openManager()
{
    return ScHandle(OpenSCManagerA(nullptr, nullptr, GENERIC_WRITE));
}

void say(const char* line) { std::printf("%s\n", line); }

}  // namespace

void installService(const char* serviceName, const char* displayName, const std::string& binaryPath)
{
    ScHandle manager = openManager();
    if (!manager) {
        say("Can't open service manager");
        return;
    }
    ScHandle service(CreateServiceA(manager.get(), serviceName, displayName, SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                    SERVICE_ERROR_NORMAL, binaryPath.c_str(), nullptr, nullptr,
                                    nullptr, nullptr, nullptr));
    say(service ? "Service created OK" : "Failed to create service");
}

void removeService(const char* serviceName)
{
    ScHandle manager = openManager();
    if (!manager) {
        say("Can't open service manager");
        return;
    }
    ScHandle service(OpenServiceA(manager.get(), serviceName, DELETE));
    if (!service) {
        say("Failed to open service");
        return;
    }
    say(DeleteService(service.get()) ? "Service deleted OK" : "Failed to delete service");
}
