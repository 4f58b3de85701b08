// Copying an error text into a caller's errorBuffer. The buffer's width is a
// limit the host respects (kErrorTextWidth bytes, NUL included); a longer
// text, one that names a long path, is cut to fit.
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

constexpr std::size_t kErrorTextWidth = 256;

void copyErrorText(char* errorBuffer, const std::string& text);

}  // namespace tarn
