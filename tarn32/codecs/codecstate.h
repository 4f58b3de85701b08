// The library-wide state of the content codecs, in one place.
//
// Most of the codecs keep everything in the call. Three things are shared
// by the whole library and outlive a call:
//   - the output mapping, selected by DECODE_ISO (Latin-1 to code page 850)
//     and by WRITEQUOTED (none); each sets it at its start, so no call
//     depends on an earlier one;
//   - the quoted-printable writer's column, reset by every call that writes;
//   - the UU codec's working values (alphabet, reverse table, counters,
//     method name), set up afresh by every _UUENCODE@20 call.
// Calls that touch this state must not overlap; the host calls the exports
// from one thread. No Win32 here.
#pragma once

#include <string>

namespace tarn {

enum class OutputMapping { none, latin1ToCp850 };

// Working values of the UU codec for one call.
struct UuState {
    static constexpr int kEndOfInput = 256;  // reverse-table index of EOF
    static constexpr signed char kOutside = -1;

    char alphabet[64];
    signed char reverse[257];  // character (or kEndOfInput) -> 0..63, or kOutside
    char fullLineChar;         // length character of a full line
    int fullLineLength;        // its value
    const char* method;        // "UUencode" or "UUdecode"
    int part;                  // part number, from 1
    int line;                  // line number within the current file
    long byteCount;            // bytes encoded or decoded so far
    std::string inName;        // current input file (lower case)
    std::string outName;       // current output file

    // Installs the standard alphabet and "M", clears the counters.
    void reset(const char* methodName);
    // Builds the reverse table from `alphabet`; returns the characters found
    // more than once, in order (empty when all are distinct). The first
    // position of such a character counts.
    std::string buildReverse();
};

struct CodecState {
    OutputMapping mapping = OutputMapping::none;
    int qpColumn = 0;  // characters written since the last line break
    UuState uu;
};

// The one instance.
CodecState& codecState();

}  // namespace tarn
