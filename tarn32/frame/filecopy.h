// Small whole-file helpers over C runtime streams.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tarn {

// The size of the file behind the stream (seeks to its end). -1 on error.
long fileSize(std::FILE* file);

// Copies `from`, from its first byte to its last, to the end of `to`, and
// flushes `to`. False on a read or write error.
bool copyWhole(std::FILE* from, std::FILE* to);

// Writes all of `data` and flushes. False on a write error.
bool writeAll(std::FILE* to, const void* data, std::size_t size);

// Cuts the file behind the stream back to `size` bytes.
bool truncateFile(std::FILE* file, long size);

}  // namespace tarn
