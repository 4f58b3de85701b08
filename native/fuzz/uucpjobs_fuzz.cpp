// The sequence counter "export.dat" on arbitrary bytes, and the free-number
// search on arbitrary sets of queued jobs. Input: a control byte c, then the
// counter file's bytes, then the queued job numbers.
//   c == 0xFF: no counter file; otherwise the file holds the next c % 9 bytes
//   the rest: two bytes per queued number, (b0 * 256 + b1) % 10000; with
//   c & 0x80 every number is queued first and the pairs free theirs instead
// Checks (abort when broken): the counter state follows the file's length;
// a counter read holds the four bytes, least significant first; the next
// number is 1 to 9999, one past a stored 1 to 9998 and 1 otherwise; the
// free number is not queued and every number between the start and it is,
// and 0 only when all 9999 are queued; a counter written reads back as
// exactly four bytes holding the number.
#include "fuzz_input.h"
#include "uucpmail/uucpjobs.h"

#include <cstdlib>
#include <sys/stat.h>

namespace {

[[noreturn]] void broken() { std::abort(); }

long fileLength(const char* name)
{
    struct stat st;
    return ::stat(name, &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = fuzzScratchFolder();
    const std::string path = tarn::kCounterName;  // in the scratch folder
    if (size == 0)
        return 0;
    uint8_t control = data[0];
    size_t at = 1;
    size_t length = 0;
    // Every file is made anew: a disk file system writes a file emptied and
    // rewritten through to the disk at its close, which would bound the runs.
    std::remove(path.c_str());
    if (control != 0xFF) {
        length = std::min<size_t>(control % 9, size - at);
        if (!fuzzWriteFile(path, data + at, length))
            return 0;
        at += length;
    }

    tarn::Counter c = tarn::readCounter(path);
    if (control == 0xFF) {
        if (c.state != tarn::CounterState::kMissing)
            broken();
    } else if (length < tarn::kCounterSize) {
        if (c.state != tarn::CounterState::kShort)
            broken();
    } else {
        const uint8_t* b = data + 1;
        std::uint32_t v = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
        if (c.state != tarn::CounterState::kRead || c.stored != static_cast<std::int32_t>(v))
            broken();
    }
    int next = tarn::numberAfter(c);
    bool inRange = c.state == tarn::CounterState::kRead && c.stored >= 1 && c.stored <= 9998;
    if (next != (inRange ? c.stored + 1 : 1))
        broken();

    tarn::TakenNumbers taken;
    bool freeing = (control & 0x80) != 0 && control != 0xFF;
    if (freeing)
        taken.set();
    for (; at + 1 < size; at += 2) {
        int n = (data[at] * 256 + data[at + 1]) % 10000;
        taken.set(static_cast<std::size_t>(n), !freeing);
    }
    // The first free number from `next` on, wrapping to 1, found word by
    // word on the free set (a walk of 9999 bits per run would be slow).
    tarn::TakenNumbers open = ~taken;
    open.reset(0);
    std::size_t expected = open._Find_next(static_cast<std::size_t>(next) - 1);
    if (expected >= open.size())
        expected = open._Find_first();
    if (expected >= open.size())
        expected = 0;
    if (tarn::firstFreeNumber(next, taken) != static_cast<int>(expected))
        broken();
    int free = static_cast<int>(expected);

    int stored = free == 0 ? next : free;
    std::remove(path.c_str());
    if (!tarn::writeCounter(path, stored))
        broken();
    tarn::Counter back = tarn::readCounter(path);
    if (back.state != tarn::CounterState::kRead || back.stored != stored ||
        fileLength(path.c_str()) != static_cast<long>(tarn::kCounterSize))
        broken();
    return 0;
}
