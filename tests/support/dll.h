// Test support: a DLL loaded as a host loads it (LoadLibrary beside the test
// executable, exports through GetProcAddress), and the export and import
// tables read from the DLL file itself.
#pragma once

#include "peimage.h"

#include <string>

namespace testsupport {

class Dll {
public:
    explicit Dll(const std::string& name);  // e.g. "tarn32.dll"
    ~Dll();
    Dll(const Dll&) = delete;
    Dll& operator=(const Dll&) = delete;

    bool loaded() const { return module_ != nullptr; }
    void* procAddress(const char* name) const;
    void* procAddress(int ordinal) const;

    // Typed lookup: dll.get<int __stdcall (const char*)>("CHKDIR")
    template <typename F>
    F* get(const char* name) const { return reinterpret_cast<F*>(procAddress(name)); }

private:
    void* module_;
};

// Reads a PE32 or PE32+ file; its error says why when it is not one.
PeImage readPeImage(const std::string& path);

// The machine type of the images this process runs: kMachineI386 in the
// 32-bit build, kMachineAmd64 in the 64-bit one.
constexpr std::uint16_t kOwnMachine = sizeof(void*) == 4 ? kMachineI386 : kMachineAmd64;

}  // namespace testsupport
