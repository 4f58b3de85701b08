// Test support: a DLL loaded as a host loads it (LoadLibrary beside the test
// executable, exports through GetProcAddress), and the export and import
// tables read from the DLL file itself.
#pragma once

#include <map>
#include <string>
#include <vector>

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

struct PeTables {
    std::map<std::string, int> exportsByName;  // name -> ordinal
    std::vector<std::string> importedDlls;     // as written in the file
};

// Reads the export and import tables of a PE file. Empty on failure.
PeTables readPeTables(const std::string& path);

}  // namespace testsupport
