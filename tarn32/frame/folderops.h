// The four folder and file operations of the library: create a folder, make
// a folder the process's current directory, rename without replacing, and
// find the first entry matching a wildcard pattern.
#pragma once

#include <string>

namespace tarn {

// Creates the one folder named (not its parents). False when it exists,
// its parent is missing or the path is past its width.
bool createFolder(const char* folderPath);

// Makes the folder the current directory of the process; on failure the
// current directory is unchanged.
bool enterFolder(const char* folderPath);

// Renames or moves a file; never replaces an existing file.
bool renameFile(const char* oldPath, const char* newPath);

// Finds the first entry (file or folder, "." and ".." aside) of `folder`
// matching `pattern` with the platform's wildcard rules, in listing order.
// On success its bare name is stored in `found` and true is returned.
bool findFirstEntry(const char* folder, const char* pattern, std::string& found);

}  // namespace tarn
