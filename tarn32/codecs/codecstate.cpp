#include "codecstate.h"

#include <cstring>

namespace tarn {

CodecState& codecState()
{
    static CodecState state;
    return state;
}

void UuState::reset(const char* methodName)
{
    // Value 0 is the backquote, every other value v the character 0x20 + v.
    alphabet[0] = '`';
    for (int v = 1; v < 64; ++v)
        alphabet[v] = static_cast<char>(0x20 + v);
    fullLineChar = 'M';
    buildReverse();
    fullLineLength = reverse[static_cast<unsigned char>(fullLineChar)];
    method = methodName;
    part = 1;
    line = 0;
    byteCount = 0;
    inName.clear();
    outName.clear();
}

std::string UuState::buildReverse()
{
    std::memset(reverse, kOutside, sizeof reverse);
    std::string twice;
    for (int v = 0; v < 64; ++v) {
        unsigned char c = static_cast<unsigned char>(alphabet[v]);
        if (reverse[c] != kOutside) {
            twice += static_cast<char>(c);
            continue;  // the first position counts
        }
        reverse[c] = static_cast<signed char>(v);
    }
    return twice;
}

}  // namespace tarn
