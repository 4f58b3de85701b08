#include "dll.h"

#include "testdir.h"

#include <windows.h>

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

PeImage readPeImage(const std::string& path)
{
    PeImage img = parsePeImage(readFile(path));
    if (!img.error.empty())
        img.error = path + ": " + img.error;
    return img;
}

}  // namespace testsupport
