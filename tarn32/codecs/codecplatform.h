// The few file-system calls the codecs need beyond the C runtime's streams:
// delete, rename, replace and a scratch file beside another. Implemented in
// codecplatform.cpp over Win32; the codecs themselves stay free of it.
#pragma once

#include <string>

namespace tarn {

// Deletes a file; false when it is missing or cannot be deleted.
bool deleteFile(const std::string& path);

// Renames a file; false when `to` exists or `from` cannot be moved.
bool moveFile(const std::string& from, const std::string& to);

// Moves `from` over `to`, replacing `to` when it exists.
bool replaceFile(const std::string& from, const std::string& to);

// Creates a new, empty file with a unique name in the folder of `path` and
// stores its path in `scratch`.
bool makeScratchFileBeside(const std::string& path, std::string& scratch);

}  // namespace tarn
