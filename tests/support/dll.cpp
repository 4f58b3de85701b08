#include "dll.h"

#include "testdir.h"

#include <windows.h>

#include <cstring>

namespace testsupport {

Dll::Dll(const std::string& name) : module_(LoadLibraryA(name.c_str())) {}

Dll::~Dll()
{
    if (module_)
        FreeLibrary(static_cast<HMODULE>(module_));
}

void* Dll::procAddress(const char* name) const
{
    return module_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name))
                   : nullptr;
}

void* Dll::procAddress(int ordinal) const
{
    return module_ ? reinterpret_cast<void*>(GetProcAddress(
                         static_cast<HMODULE>(module_), MAKEINTRESOURCEA(ordinal)))
                   : nullptr;
}

namespace {
struct Image {
    std::string bytes;
    const IMAGE_NT_HEADERS32* nt = nullptr;

    // File offset of a relative virtual address, or 0.
    size_t offset(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++s) {
            DWORD size = std::max(s->Misc.VirtualSize, s->SizeOfRawData);
            if (rva >= s->VirtualAddress && rva < s->VirtualAddress + size)
                return rva - s->VirtualAddress + s->PointerToRawData;
        }
        return 0;
    }
    const char* str(DWORD rva) const { return bytes.data() + offset(rva); }
    template <typename T>
    const T* at(DWORD rva) const { return reinterpret_cast<const T*>(bytes.data() + offset(rva)); }
};
}  // namespace

PeTables readPeTables(const std::string& path)
{
    PeTables t;
    Image img;
    img.bytes = readFile(path);
    if (img.bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return t;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(img.bytes.data());
    img.nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(img.bytes.data() + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& ed = img.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (ed.VirtualAddress) {
        auto ex = img.at<IMAGE_EXPORT_DIRECTORY>(ed.VirtualAddress);
        auto names = img.at<DWORD>(ex->AddressOfNames);
        auto ords = img.at<WORD>(ex->AddressOfNameOrdinals);
        for (DWORD i = 0; i < ex->NumberOfNames; ++i)
            t.exportsByName[img.str(names[i])] = static_cast<int>(ords[i] + ex->Base);
    }
    const IMAGE_DATA_DIRECTORY& id = img.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (id.VirtualAddress) {
        for (auto imp = img.at<IMAGE_IMPORT_DESCRIPTOR>(id.VirtualAddress); imp->Name; ++imp)
            t.importedDlls.push_back(img.str(imp->Name));
    }
    return t;
}

}  // namespace testsupport
