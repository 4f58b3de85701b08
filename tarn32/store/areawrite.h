// Appending a message text to a file and reporting where it landed: the
// area-file writes of the host (WRITEMESSAGE, WRITEMFORM) and the append to
// the prepared outgoing message (WRITEUUCP).
//
// The file is opened for appending in binary mode (created when missing);
// every character of the text is written except carriage returns, so the
// stored text has bare LF line ends. Offsets: start = the file's size before
// the append, end = its size after; an empty file's start is given as 0 or 1
// depending on the caller (see EmptyStart), an end of 0 is given as 1, and
// the length reported is end - start. When the bytes cannot all be written
// the file is cut back to its old size. No Win32.
#pragma once

#include <string>

namespace tarn {

enum class EmptyStart {
    kZero,  // WRITEMESSAGE
    kOne,   // WRITEMFORM, WRITEUUCP
};

enum class LineBreaking {
    kNone,
    // A column counter counts every character of the text (CRs too) and is
    // reset by a LF; once it is past 80, a space gets a LF written after it
    // and the counter is reset. A word without spaces is never broken.
    kAfterColumn80,
};

struct AppendOutcome {
    bool ok = false;
    long start = 0;
    long length = 0;
    std::string error;  // when !ok: "Cannot open file " + path, or "Cannot write file " + path
};

AppendOutcome appendText(const std::string& path, const char* text, EmptyStart emptyStart,
                         LineBreaking breaking);

}  // namespace tarn
