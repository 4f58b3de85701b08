// The .z stream format of compress-compatible programs: adaptive LZW with
// codes of 9 bits growing to at most 16, in block mode.
//
// Layout of a stream:
//   byte 0, 1   0x1f 0x9d                    magic
//   byte 2      bit 7: block mode; bits 0-4: the largest code width (9..16);
//               bits 5, 6 unused (0)
//   then codes, packed least significant bit first. Codes 0..255 are bytes;
//   in block mode code 256 clears the table and new strings start at 257
//   (without block mode at 256).
//
// Code width: every code starts at 9 bits. The width grows by one, up to the
// stream's largest width, once the next free table entry no longer fits it.
// Codes are written in groups of eight, so a group of width n takes n bytes;
// whenever the width changes (growth, or a clear, which drops back to 9 bits)
// the rest of the current group is padding and the new width starts on a
// fresh group. Readers skip that padding; a stream is expanded correctly
// only if writer and reader agree on it, which is why both live here.
//
// The encoder always writes block mode and clears the table when it is full
// and the compression ratio starts to fall. The decoder takes either mode.
// Both work incrementally on byte ranges, so any split of the input gives the
// same result. No Win32 here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace lzw {

constexpr int kMinBits = 9;
constexpr int kMaxBits = 16;

class Encoder {
public:
    // maxBits outside 9..16 is clamped into that range.
    explicit Encoder(int maxBits);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Appends to `out` the stream bytes that `data` completes (the header on
    // the first call).
    void write(const std::uint8_t* data, std::size_t size, std::string& out);
    // Ends the stream: the last code and the final partial byte. The header
    // alone when no byte was written.
    void finish(std::string& out);

private:
    struct State;
    std::unique_ptr<State> s_;
};

class Decoder {
public:
    enum class Status {
        kOk,         // everything so far was consistent
        kBadMagic,   // the stream does not start with 0x1f 0x9d
        kBadBits,    // the header asks for codes wider than 16 or narrower than 9
        kCorrupt,    // a code refers to a table entry that cannot exist yet
        kTruncated,  // finish() before the three header bytes arrived
    };

    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Appends the expanded bytes of `data` to `out`. Once a status other than
    // kOk is returned the decoder stays in it and ignores further input.
    Status write(const std::uint8_t* data, std::size_t size, std::string& out);
    // Ends the stream: left-over bits shorter than a code are ignored.
    Status finish();

    // The largest code width the header announced (0 before the header).
    int maxBits() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

// A message for a decoder status ("corrupt input", ...).
const char* describe(Decoder::Status status);

}  // namespace lzw
