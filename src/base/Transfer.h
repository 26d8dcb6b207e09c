// How much data the installer moves at a time.
#pragma once
#include <cstddef>

// The installer reads, writes and copies in chunks of 64000 bytes: the
// largest round size under the 64 KiB that one block of memory holds on the
// 16-bit systems its formats come from. The expansion's progress bar counts
// its range, 187, in these chunks.
constexpr int TRANSFER_CHUNK = 64000;

// The extraction's copy buffer is a chunk and 4 bytes more, as the archive
// reader has always taken it; a read never fills those 4 bytes.
constexpr std::size_t COPY_BUFFER = TRANSFER_CHUNK + 4;
