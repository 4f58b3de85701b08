// Copying a whole file into a folder, or into its subfolder "hold": the
// host's FILEATTACH, and GENUUCP, which writes a lead text before the bytes.
//
// Hold mode 1: the target is folder\hold\name, made anew (an existing file is
// emptied); "hold" is created when missing. Any other hold mode: the target
// is folder\name, appended to (created when missing). The source is read in
// binary mode, as many bytes as it had when it was opened.
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

struct AttachRequest {
    std::string folder;
    std::string sourcePath;
    std::string targetName;
    std::string leadText;  // written before the source's bytes ("" for FILEATTACH)
    int holdMode = 0;
};

enum class AttachError {
    kNone,
    kSource,      // the source cannot be opened
    kTarget,      // the target cannot be opened (or its path is past the width)
    kWrite,       // the bytes could not all be read or written
};

struct AttachOutcome {
    AttachError error = AttachError::kNone;
    std::string targetFolder;  // folder, or folder\hold
    std::string targetPath;    // "" when past the width
};

// `pathWidth` bounds the target folder joined with the name.
AttachOutcome attachFile(const AttachRequest& request, std::size_t pathWidth);

}  // namespace tarn
