// The message file of a session, as the content transfer reads it: opened
// for reading with no sharing (a file another program holds open cannot be
// opened, and nobody can write it while it is sent), its size asked once,
// read in chunks. Win32 underneath; the header stays free of it so the
// session can be driven by other sources in tests.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace smtp {

class ContentFile {
public:
    virtual ~ContentFile() = default;
    // The size in bytes; false when the query fails (the size is unknown).
    virtual bool size(long& bytes) = 0;
    // Reads up to max bytes; the count (0 at the end), -1 when the read fails.
    virtual long read(char* buffer, std::size_t max) = 0;
};

// Opens path for reading without sharing; null when it cannot be opened.
std::unique_ptr<ContentFile> openContentFile(const std::string& path);

}  // namespace smtp
