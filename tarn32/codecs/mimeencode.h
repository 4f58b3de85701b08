// MIMEENCODE: a file as a MIME attachment part. A fixed header block naming
// the attachment twice, then the file's bytes in standard base64 with a line
// feed after every 60th character (the padding included) and after a shorter
// last line. No Win32 here.
#pragma once

#include <cstddef>
#include <string>

namespace tarn {

// Base64 with the part's line layout, kept across calls so that a file can
// be fed in pieces: the text of each piece is appended to `out`.
class Base64LineEncoder {
public:
    void feed(const unsigned char* bytes, std::size_t n, std::string& out);
    // Writes the last group with its padding and the last line feed.
    void finish(std::string& out);

private:
    void putChar(char c, std::string& out);
    void putGroup(const unsigned char* group, std::string& out);

    unsigned char group_[3] = {0, 0, 0};
    int groupSize_ = 0;
    int column_ = 0;
};

// MIMEENCODE: 0, or -1 when a file cannot be opened.
int mimeEncodeFile(const std::string& inPath, const std::string& outPath,
                   const std::string& attachmentName);

}  // namespace tarn
