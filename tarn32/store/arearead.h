// Reading single stored messages out of an area file for the host: a stretch
// of the file handed over as text with CR LF line ends (a CR goes before
// every LF; every other byte, a CR already there included, is copied as it
// is), in chunks of about 32000 characters, and the body of a stored message
// with its header skipped.
//
// Chunks. The characters written to the text (CRs included) are counted;
// after each file byte the read stops when the count has reached the soft
// limit and the byte was a space or LF, or has reached the hard limit. The
// text then holds at most hard + 1 characters and its NUL.
//
// Results: count + 1 when all `count` bytes were read (extract: body length
// + 1); the number of file bytes consumed when a limit stopped the read (the
// next chunk starts that many bytes further on); -1 with an error text on
// failure. The text always ends with a NUL, also after a failure part-way.
// Which file an area number names is the caller's business (areafile.h).
// No Win32.
#pragma once

#include <string>

namespace tarn {

struct ChunkLimits {
    int soft;  // stop after a space or LF once the count is at least this
    int hard;  // stop once the count is at least this
};
constexpr ChunkLimits kMessageChunk{32000, 32300};  // READMESSAGE, READMAPIMSG, extract
constexpr ChunkLimits kNewsChunk{32000, 32000};     // READNEWS

// Bytes a caller's text buffer must hold for the limits.
constexpr int textBufferSize(const ChunkLimits& limits) { return limits.hard + 2; }

// Error texts of the reads.
constexpr const char* kCannotOpenArea = "Cannot open area file \r\n";
constexpr const char* kCannotOpenMailArea = "Cannot open area file (mailarea.txt)\r\n";
constexpr const char* kSeekBeyondEnd = "Attempt to Seek beyond EOF\r\n";
constexpr const char* kUnexpectedEnd = "Unexpected End Of File";
// A negative count would give results of 0 or below, which a host takes for
// "nothing consumed" or a failure without text.
constexpr const char* kNegativeCount = "Negative byte count\r\n";

struct ReadOutcome {
    int result;         // the export's result
    const char* error;  // the error text when result is -1, else nullptr
};

// Reads `count` bytes from byte `offset` of the file at `path` into `text`
// (which holds textBufferSize(limits) bytes).
ReadOutcome readChunk(const std::string& path, long offset, long count, const ChunkLimits& limits,
                      char* text);

// Skips the header of the message stored at `offset` (lines read in pieces of
// at most 199 characters, up to and including the first piece that begins
// with a LF, or to the end of the file) and reads the body: `count` minus the
// header bytes, with the message limits. A body length of 0 or below gives an
// empty text and that length + 1.
ReadOutcome extractBody(const std::string& path, long offset, long count, char* text);

}  // namespace tarn
