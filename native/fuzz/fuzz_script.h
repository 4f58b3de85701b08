// A server's side of a session read straight from a fuzz input, without
// copying it into a script first: a sequence of events, each a control byte
// and, for a block of bytes, the length it gives and that many bytes.
//   0xF0: the server closes    0xF1: the connection resets
//   0xF2: the server is silent other c: a block of (c % 200) + 1 bytes (cut
//                                        short at the end of the input)
// The end of the input is a server that has closed. The same events and
// answers as nettest::ScriptedTransport, for drivers that run many times a
// second.
#pragma once

#include "transport.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzScript {
public:
    FuzzScript(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}

    // False on a silence (the wait times out), true otherwise.
    bool waitForData()
    {
        if (left_ == 0 && p_ < end_ && *p_ == 0xF2) {
            ++p_;
            error_ = 10060;
            return false;
        }
        return true;
    }

    // As Transport::receive: bytes of the current block, 0 when the server
    // has closed, -1 on a reset (or a count past the buffer).
    int receive(net::ByteBuffer& buffer, int maxCount)
    {
        std::size_t room = maxCount < 0 ? buffer.size() : static_cast<std::size_t>(maxCount);
        if (maxCount >= 0 && room > buffer.size())
            return -1;
        if (left_ == 0) {
            if (p_ >= end_ || *p_ == 0xF0)
                return 0;
            uint8_t c = *p_++;
            if (c == 0xF1 || c == 0xF2) {  // a silence not waited for resets, as in the script
                error_ = 10054;
                return -1;
            }
            left_ = c % 200 + 1;
            if (left_ > static_cast<std::size_t>(end_ - p_))
                left_ = static_cast<std::size_t>(end_ - p_);
            if (left_ == 0)
                return 0;
        }
        std::size_t n = left_ < room ? left_ : room;
        std::memcpy(buffer.data(), p_, n);
        p_ += n;
        left_ -= n;
        return static_cast<int>(n);
    }

    int lastError() const { return error_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    std::size_t left_ = 0;  // bytes of the current block not yet received
    int error_ = 0;
};
