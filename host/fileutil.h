// The few file operations the subcommands share: whole files in and out in
// binary mode, sizes, the plain files of a folder, and line ends. Nothing
// here knows a format of the store.
#pragma once

#include <set>
#include <string>

// The file's bytes. False when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& out);

// Writes bytes as the whole file, replacing it. False on any failure.
bool writeWholeFile(const std::string& path, const std::string& bytes);

// The file's size in bytes, -1 when it does not exist or is a folder.
long long fileSizeOf(const std::string& path);

// Whether path names an existing folder.
bool isFolder(const std::string& path);

// The names of the plain files (no folders) of folder matching pattern.
std::set<std::string> fileNames(const std::string& folder, const char* pattern = "*");

// The line without its trailing CR and LF characters.
std::string chomp(const std::string& line);
