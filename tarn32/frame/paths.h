// Path joining and the fixed path widths of the pre-processor exports.
//
// Folders arrive without a trailing backslash; a file name is joined with
// exactly one backslash. Every width here counts the terminating NUL and is a
// limit for the caller: a path that does not fit is refused, never truncated
// and never written past its buffer. No Win32 here.
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

// Widths (including the NUL) of the paths the exports form.
enum PathWidth : std::size_t {
    kInboundPathWidth = 60,     // IMPMAIL / IMPNEWS: inbound folder + pattern or job/data name
    kMailWorkPathWidth = 80,    // IMPMAIL: work folder + "mailin.log", "mail.hdr", "mailarea.txt"
    kNewsPathWidth = 84,        // IMPNEWS: either folder + file name, decompression command
    kNewsIndexPathWidth = 200,  // IMPNEWS: inbound folder + "Header.Msg"
    kExpMailFolderWidth = 100,  // EXPMAIL: folder copy with its backslash
    kExpMailPathWidth = 80,     // EXPMAIL: folder + job file, "export.dat", "mail.log"
    kExpNewsPathWidth = 200,    // EXPNEWS: folder + file name, compression command
    kFolderOpWidth = 200,       // GENDIR, CHKDIR
    kFindFileWidth = 260,       // FIND_FILE: folder + backslash + pattern
    kAreaPathWidth = 200,       // area-file operations, FILEATTACH, GENUUCP
};

// Joins folder and name with one backslash into `out`. Returns false (and
// leaves `out` empty) when the result would need `width` characters or more.
bool joinPath(const std::string& folder, const std::string& name, std::size_t width,
              std::string& out);

// Appends name to a folder that already ends in its backslash (the form the
// importers leave in the caller's buffers). False when it does not fit `width`.
bool appendName(const std::string& folderWithSlash, const std::string& name,
                std::size_t width, std::string& out);

// True when a string of this length plus its NUL fits a buffer of `width`.
inline bool fitsWidth(std::size_t length, std::size_t width) { return length + 1 <= width; }

// Appends one backslash to a caller's folder buffer in place (the caller
// guarantees room for one more character).
void appendBackslashInPlace(char* folder);

}  // namespace tarn
