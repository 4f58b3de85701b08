// Test support: the facts a host's loader sees in a Windows image file, read
// from its bytes without the platform: the machine type, PE32 or PE32+, the
// export names with their ordinals and the imported DLLs. Compiles natively
// too, so both builds' binaries can be checked on any machine.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

constexpr std::uint16_t kMachineI386 = 0x014c;
constexpr std::uint16_t kMachineAmd64 = 0x8664;

struct PeImage {
    std::string error;                         // empty when the image was read whole
    std::uint16_t machine = 0;                 // kMachineI386, kMachineAmd64, ...
    bool pe32plus = false;                     // the 64-bit optional header
    std::map<std::string, int> exportsByName;  // name -> ordinal
    std::vector<std::string> importedDlls;     // as written in the file
};

// Reads an image from its bytes. Anything that is not a whole PE32 or PE32+
// image (a bad signature, a table that points outside the file, a file cut
// short) gives a PeImage whose error says what, never a read past the bytes.
PeImage parsePeImage(const std::string& bytes);

}  // namespace testsupport
