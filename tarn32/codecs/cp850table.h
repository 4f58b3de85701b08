// The Latin-1 to code page 850 table used by the output mapping: one byte of
// code page 850 for every byte 0x80..0xFF of ISO-8859-1. Bytes below 0x80
// are the same in both and are not in the table.
#pragma once

namespace tarn {

// Entry b - 0x80 is the code page 850 byte for the Latin-1 byte b. The C1
// controls 0x80..0x9F and the no-break space become a space, the soft hyphen
// "-" and the cedilla ","; every other entry is the same character.
extern const unsigned char kLatin1ToCp850[128];

}  // namespace tarn
