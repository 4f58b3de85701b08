// The retrieved message files "%s\\%d.msg": one per POP3 message number,
// holding the lines of the RETR reply between its status line and its
// terminating dot line byte for byte (CR LF kept, dot-stuffed lines keep
// both dots). Created with exclusive write access, replacing a file of
// the same name.
//
// A file that cannot be written or closed completely reports it, so the
// session never deletes a message on the server whose file lacks a part.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace pop3 {

class MessageFile {
public:
    virtual ~MessageFile() = default;  // closes without reporting
    // Appends bytes; false when they cannot all be written (disk full, ...).
    virtual bool write(const char* data, std::size_t size) = 0;
    // Writes what is buffered and closes; false when any of it failed.
    virtual bool close() = 0;
};

// Creates the file for writing; null when it cannot be created.
std::unique_ptr<MessageFile> createMessageFile(const std::string& path);

// Removes a message file that could not be completed.
void removeMessageFile(const std::string& path);

// The path "%s\\%d.msg" for a message, or "" when it does not fit the
// 256-byte path buffer or the folder is longer than 414 characters.
std::string messageFilePath(const std::string& folder, int messageNumber);

}  // namespace pop3
