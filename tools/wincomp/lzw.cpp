#include "lzw.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace lzw {

namespace {

constexpr std::uint8_t kMagic0 = 0x1f;
constexpr std::uint8_t kMagic1 = 0x9d;
constexpr std::uint8_t kBlockMode = 0x80;
constexpr std::uint8_t kBitsMask = 0x1f;
constexpr int kClear = 256;
constexpr int kFirstFree = 257;  // block mode; 256 without it

// The largest code of the current width before it has to grow. At the
// stream's largest width the table's size is the limit instead, except at
// 9 bits: streams of largest width 9 still grow to 10-bit codes once their
// table is full (and stay there). That is how existing writers and readers
// of the format behave, so both sides here do the same.
int widthLimit(int bits, int maxBits)
{
    return bits == maxBits && bits > kMinBits ? (1 << maxBits) : (1 << bits) - 1;
}

// How often the encoder looks at its ratio once the table is full.
constexpr std::uint64_t kCheckGap = 10000;

// Open addressing over (prefix code, byte) pairs, twice as many slots as
// table entries, so a full table sits at half load.
int hashBits(int maxBits) { return maxBits + 1; }

}  // namespace

// ---- Encoder ---------------------------------------------------------------

struct Encoder::State {
    int maxBits;
    int maxEntries;           // 1 << maxBits: codes 0 .. maxEntries - 1
    int bits = kMinBits;      // width of the next code written
    int limit;                // widthLimit(bits, maxBits)
    int freeEntry = kFirstFree;
    int current = -1;         // code of the string matched so far, -1 before the first byte
    bool headerWritten = false;
    bool clearPending = false;
    std::uint32_t acc = 0;    // bits not yet written, lowest first
    int accBits = 0;
    int groupCodes = 0;       // codes written at the current width since it began
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    std::uint64_t checkpoint = kCheckGap;
    std::uint64_t ratio = 0;  // bytesIn / bytesOut * 256 at the last check, 0 after a clear
    int hashShift;            // 32 - hash bits
    std::uint32_t hashMask;
    // Tables as zeroed arrays: a stream's tables are made in one piece,
    // not element by element (a short stream at 16 bits would otherwise
    // spend most of its time filling them).
    std::size_t slots;
    std::unique_ptr<std::uint32_t[]> keys;  // (prefix << 8 | byte) + 1, 0 = free slot
    std::unique_ptr<std::uint16_t[]> codes;

    explicit State(int mb)
        : maxBits(std::clamp(mb, kMinBits, kMaxBits)), maxEntries(1 << maxBits),
          limit(widthLimit(kMinBits, maxBits)), hashShift(32 - hashBits(maxBits)),
          hashMask((1u << hashBits(maxBits)) - 1), slots(std::size_t{hashMask} + 1),
          keys(new std::uint32_t[slots]()), codes(new std::uint16_t[slots]()) {}

    void header(std::string& out)
    {
        if (headerWritten)
            return;
        out.push_back(static_cast<char>(kMagic0));
        out.push_back(static_cast<char>(kMagic1));
        out.push_back(static_cast<char>(kBlockMode | maxBits));
        bytesOut += 3;
        headerWritten = true;
    }

    void put(int code, std::string& out)
    {
        acc |= static_cast<std::uint32_t>(code) << accBits;
        accBits += bits;
        while (accBits >= 8) {
            out.push_back(static_cast<char>(acc & 0xff));
            acc >>= 8;
            accBits -= 8;
            ++bytesOut;
        }
        ++groupCodes;
    }

    // One code, then the width change that the next code needs, if any.
    void output(int code, std::string& out)
    {
        put(code, out);
        if (!clearPending && freeEntry <= limit)
            return;
        while (groupCodes % 8 != 0)
            put(0, out);
        groupCodes = 0;
        if (clearPending) {
            bits = kMinBits;
            clearPending = false;
        } else {
            ++bits;
        }
        limit = widthLimit(bits, maxBits);
    }

    // The table is full: start again once the ratio falls.
    void maybeClear(std::string& out)
    {
        if (bytesIn < checkpoint)
            return;
        checkpoint = bytesIn + kCheckGap;
        std::uint64_t r = bytesOut ? (bytesIn << 8) / bytesOut : 0;
        if (r >= ratio) {
            ratio = r;
            return;
        }
        ratio = 0;
        std::memset(keys.get(), 0, slots * sizeof keys[0]);
        freeEntry = kFirstFree;
        clearPending = true;
        output(kClear, out);
    }

    void add(std::uint8_t c, std::string& out)
    {
        ++bytesIn;
        if (current < 0) {
            current = c;
            return;
        }
        std::uint32_t key = (static_cast<std::uint32_t>(current) << 8 | c) + 1;
        std::uint32_t h = (key * 2654435761u) >> hashShift;
        while (keys[h] != 0) {
            if (keys[h] == key) {
                current = codes[h];
                return;
            }
            h = (h + 1) & hashMask;
        }
        output(current, out);
        if (freeEntry < maxEntries) {
            keys[h] = key;
            codes[h] = static_cast<std::uint16_t>(freeEntry++);
        } else {
            maybeClear(out);
        }
        current = c;
    }
};

Encoder::Encoder(int maxBits) : s_(std::make_unique<State>(maxBits)) {}
Encoder::~Encoder() = default;

void Encoder::write(const std::uint8_t* data, std::size_t size, std::string& out)
{
    s_->header(out);
    for (std::size_t i = 0; i < size; ++i)
        s_->add(data[i], out);
}

void Encoder::finish(std::string& out)
{
    s_->header(out);
    if (s_->current >= 0) {
        // The last code needs no width change after it.
        s_->put(s_->current, out);
        s_->current = -1;
    }
    if (s_->accBits > 0) {
        out.push_back(static_cast<char>(s_->acc & 0xff));
        ++s_->bytesOut;
        s_->acc = 0;
        s_->accBits = 0;
    }
}

// ---- Decoder ---------------------------------------------------------------

struct Decoder::State {
    Status status = Status::kOk;
    std::uint8_t header[3] = {};
    int headerBytes = 0;
    int maxBits = 0;
    bool blockMode = false;
    int maxEntries = 0;
    int bits = kMinBits;
    int limit = 0;
    int freeEntry = 0;
    int previous = -1;         // the code before this one, -1 at the start
    int lastFirstByte = 0;     // first byte of the string of `previous`
    std::uint32_t acc = 0;
    int accBits = 0;
    int groupCodes = 0;
    int skipBits = 0;          // padding still to pass after a width change
    // Sized by the header: 1 << maxBits entries.
    std::unique_ptr<std::uint16_t[]> prefix;
    std::unique_ptr<std::uint8_t[]> suffix;
    std::unique_ptr<std::uint8_t[]> stack;

    void readHeader(std::uint8_t b)
    {
        header[headerBytes++] = b;
        if (headerBytes < 3)
            return;
        if (header[0] != kMagic0 || header[1] != kMagic1) {
            status = Status::kBadMagic;
            return;
        }
        maxBits = header[2] & kBitsMask;
        if (maxBits < kMinBits || maxBits > kMaxBits) {
            status = Status::kBadBits;
            return;
        }
        blockMode = (header[2] & kBlockMode) != 0;
        maxEntries = 1 << maxBits;
        prefix.reset(new std::uint16_t[maxEntries]());
        suffix.reset(new std::uint8_t[maxEntries]());
        stack.reset(new std::uint8_t[maxEntries]());
        for (int i = 0; i < 256; ++i)
            suffix[i] = static_cast<std::uint8_t>(i);
        bits = kMinBits;
        limit = widthLimit(bits, maxBits);
        freeEntry = blockMode ? kFirstFree : 256;
    }

    // The rest of the current group of eight codes is padding.
    void newGroup()
    {
        skipBits = ((8 - groupCodes % 8) % 8) * bits;
        groupCodes = 0;
    }

    void code(int c, std::string& out)
    {
        if (previous < 0) {
            if (c >= 256) {
                status = Status::kCorrupt;
                return;
            }
            previous = lastFirstByte = c;
            out.push_back(static_cast<char>(c));
            return;
        }
        if (c == kClear && blockMode) {
            // The first code after a clear makes a table entry that is
            // never used (256), which keeps the numbering in step with the
            // writer's.
            freeEntry = 256;
            newGroup();
            bits = kMinBits;
            limit = widthLimit(bits, maxBits);
            return;
        }
        const int incoming = c;
        std::size_t sp = static_cast<std::size_t>(maxEntries);
        if (c >= freeEntry) {
            if (c > freeEntry) {
                status = Status::kCorrupt;
                return;
            }
            stack[--sp] = static_cast<std::uint8_t>(lastFirstByte);
            c = previous;
        }
        while (c >= 256) {
            if (sp == 0) {
                status = Status::kCorrupt;  // a loop in a damaged table
                return;
            }
            stack[--sp] = suffix[c];
            c = prefix[c];
        }
        if (sp == 0) {
            status = Status::kCorrupt;
            return;
        }
        lastFirstByte = c;
        stack[--sp] = static_cast<std::uint8_t>(c);
        out.append(reinterpret_cast<const char*>(stack.get()) + sp, static_cast<std::size_t>(maxEntries) - sp);
        if (freeEntry < maxEntries) {
            prefix[freeEntry] = static_cast<std::uint16_t>(previous);
            suffix[freeEntry] = static_cast<std::uint8_t>(lastFirstByte);
            ++freeEntry;
        }
        previous = incoming;
    }

    void byte(std::uint8_t b, std::string& out)
    {
        acc |= static_cast<std::uint32_t>(b) << accBits;
        accBits += 8;
        for (;;) {
            if (skipBits > 0) {
                int take = std::min(skipBits, accBits);
                acc >>= take;
                accBits -= take;
                skipBits -= take;
                if (skipBits > 0)
                    return;
                continue;
            }
            if (freeEntry > limit) {
                newGroup();
                ++bits;
                limit = widthLimit(bits, maxBits);
                continue;
            }
            if (accBits < bits)
                return;
            int c = static_cast<int>(acc & ((1u << bits) - 1));
            acc >>= bits;
            accBits -= bits;
            ++groupCodes;
            code(c, out);
            if (status != Status::kOk)
                return;
        }
    }
};

Decoder::Decoder() : s_(std::make_unique<State>()) {}
Decoder::~Decoder() = default;

Decoder::Status Decoder::write(const std::uint8_t* data, std::size_t size, std::string& out)
{
    State& s = *s_;
    for (std::size_t i = 0; i < size && s.status == Status::kOk; ++i) {
        if (s.headerBytes < 3)
            s.readHeader(data[i]);
        else
            s.byte(data[i], out);
    }
    return s.status;
}

Decoder::Status Decoder::finish()
{
    if (s_->status == Status::kOk && s_->headerBytes < 3)
        s_->status = Status::kTruncated;
    return s_->status;
}

int Decoder::maxBits() const { return s_->maxBits; }

const char* describe(Decoder::Status status)
{
    switch (status) {
    case Decoder::Status::kOk:
        return "ok";
    case Decoder::Status::kBadMagic:
        return "not in compressed format";
    case Decoder::Status::kBadBits:
        return "compressed with more than 16 bits or fewer than 9";
    case Decoder::Status::kCorrupt:
        return "corrupt input";
    case Decoder::Status::kTruncated:
        return "unexpected end of file";
    }
    return "unknown error";
}

}  // namespace lzw
