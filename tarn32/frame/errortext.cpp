#include "errortext.h"

#include <cstring>

namespace tarn {

void copyErrorText(char* errorBuffer, const std::string& text)
{
    if (!errorBuffer)
        return;
    std::size_t n = text.size() < kErrorTextWidth ? text.size() : kErrorTextWidth - 1;
    std::memcpy(errorBuffer, text.data(), n);
    errorBuffer[n] = '\0';
}

}  // namespace tarn
