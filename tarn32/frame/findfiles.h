// A folder listing with a wildcard pattern, in the order the platform yields
// it. The listing handle is closed when the object goes.
#pragma once

#include <string>

namespace tarn {

class FileListing {
public:
    enum Kind { kFilesOnly, kFilesAndFolders };

    // Starts listing `patternPath` (folder, backslash, pattern).
    explicit FileListing(const std::string& patternPath);
    ~FileListing();
    FileListing(const FileListing&) = delete;
    FileListing& operator=(const FileListing&) = delete;

    // The next matching bare name, or nullptr at the end. "." and ".." are
    // never returned; folders only with kFilesAndFolders. The pointer stays
    // valid until the next call.
    const char* next(Kind kind);

private:
    void* handle_;      // the platform's search handle, or invalid
    bool pending_;      // the first entry has been found but not yet handed out
    char name_[260];
    bool isFolder_;
    bool step();
};

}  // namespace tarn
