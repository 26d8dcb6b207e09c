// SZDD expansion through libmspack, on the native build. libmspack expands a
// whole stream in one call, reading and writing through an mspack_system of
// ours: here that call runs on a thread of its own, pulling the compressed
// stream from its source and putting what it expands into a channel, which
// Read empties. The "file names" libmspack is handed are pointers to the two
// sides below.
#include <mspack.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kit/szdd/ByteChannel.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddReader.h"
#include "kit/szdd/Workers.h"

namespace {

// Expanded bytes on their way to the reader: enough that the expanding
// thread seldom waits on it.
constexpr std::size_t CHANNEL_SIZE = 1u << 20;

// libmspack writes its output a byte at a time: the bytes are gathered into
// pieces of this size before they go into the channel.
constexpr std::size_t PIECE_SIZE = 1u << 16;

// One side of the expansion, as libmspack sees it.
struct Side {
  SzddReaderState* state;
};

}  // namespace

struct SzddReaderState {
  Side input{this}, output{this};
  SzddReader::Pull pull;
  std::uint8_t header[SZDD_HEADER_SIZE] = {};
  std::uint64_t inputAt = 0;  // compressed bytes handed to libmspack, the header's included
  std::uint32_t declared = 0;
  ByteChannel channel{CHANNEL_SIZE};
  std::vector<std::uint8_t> piece = std::vector<std::uint8_t>(PIECE_SIZE);  // the expanding thread's
  std::size_t pieceUsed = 0;
  WorkerThread thread;
  bool started = false;
  // Written by the expanding thread, read once it has been joined.
  std::uint64_t expanded = 0;
  int status = MSPACK_ERR_OK;
  bool overran = false;     // the stream expands past the declared length
  bool unreadable = false;  // the source failed
};

namespace {

SzddReaderState& StateOf(mspack_file* file) { return *reinterpret_cast<Side*>(file)->state; }
bool IsInput(mspack_file* file) { return reinterpret_cast<Side*>(file) == &StateOf(file).input; }

mspack_file* SideOpen(mspack_system*, const char* name, int) {
  return reinterpret_cast<mspack_file*>(const_cast<char*>(name));
}

void SideClose(mspack_file*) {}

// The header, which Open read to check it, first; then the source.
int SideRead(mspack_file* file, void* buffer, int bytes) {
  SzddReaderState& s = StateOf(file);
  if (!IsInput(file) || bytes < 0) return -1;
  auto* into = static_cast<std::uint8_t*>(buffer);
  std::size_t got = 0;
  if (s.inputAt < SZDD_HEADER_SIZE) {
    got = std::min<std::size_t>(bytes, SZDD_HEADER_SIZE - s.inputAt);
    std::memcpy(into, s.header + s.inputAt, got);
  }
  if (got < static_cast<std::size_t>(bytes)) {
    const long more = s.pull(into + got, static_cast<std::size_t>(bytes) - got);
    if (more < 0) {
      s.unreadable = true;
      return -1;
    }
    got += static_cast<std::size_t>(more);
  }
  s.inputAt += got;
  return static_cast<int>(got);
}

// Hands the gathered piece to the reader; false when it has gone.
bool Flush(SzddReaderState& s) {
  const bool taken = s.channel.Put(s.piece.data(), s.pieceUsed);
  s.pieceUsed = 0;
  return taken;
}

// Refuses, and so stops the expansion, as soon as the output would pass the
// declared length: a stream cannot make us expand more than its header says.
int SideWrite(mspack_file* file, void* buffer, int bytes) {
  SzddReaderState& s = StateOf(file);
  // Every expanded byte comes this way, so the usual case goes first.
  if (bytes == 1 && s.pieceUsed < PIECE_SIZE && s.expanded < s.declared && !IsInput(file)) {
    s.piece[s.pieceUsed++] = *static_cast<const std::uint8_t*>(buffer);
    ++s.expanded;
    return 1;
  }
  if (IsInput(file) || bytes < 0) return -1;
  if (s.expanded + static_cast<std::uint64_t>(bytes) > s.declared) {
    s.overran = true;
    return -1;
  }
  const auto size = static_cast<std::size_t>(bytes);
  if (s.pieceUsed + size > s.piece.size() && !Flush(s)) return -1;
  if (size > s.piece.size()) {
    if (!s.channel.Put(buffer, size)) return -1;
  } else {
    std::memcpy(s.piece.data() + s.pieceUsed, buffer, size);
    s.pieceUsed += size;
  }
  s.expanded += static_cast<std::uint64_t>(bytes);
  return bytes;
}

// The stream is read once, front to back: a seek may only name where it
// stands.
int SideSeek(mspack_file* file, off_t offset, int mode) {
  SzddReaderState& s = StateOf(file);
  const auto at = static_cast<off_t>(IsInput(file) ? s.inputAt : s.expanded);
  const off_t target = mode == MSPACK_SYS_SEEK_START ? offset : mode == MSPACK_SYS_SEEK_CUR ? at + offset : -1;
  return target == at ? 0 : -1;
}

off_t SideTell(mspack_file* file) {
  SzddReaderState& s = StateOf(file);
  return static_cast<off_t>(IsInput(file) ? s.inputAt : s.expanded);
}

void SideMessage(mspack_file*, const char*, ...) {}
void* SideAlloc(mspack_system*, std::size_t bytes) { return std::malloc(bytes); }
void SideFree(void* p) { std::free(p); }
void SideCopy(void* from, void* to, std::size_t bytes) { std::memmove(to, from, bytes); }

mspack_system sideSystem = {SideOpen,    SideClose, SideRead, SideWrite, SideSeek, SideTell,
                            SideMessage, SideAlloc, SideFree, SideCopy,  nullptr};

void Expand(SzddReaderState& s) {
  msszdd_decompressor* decompressor = mspack_create_szdd_decompressor(&sideSystem);
  if (decompressor == nullptr) {
    s.status = MSPACK_ERR_NOMEMORY;
  } else {
    s.status = decompressor->decompress(decompressor, reinterpret_cast<const char*>(&s.input),
                                        reinterpret_cast<const char*>(&s.output));
    mspack_destroy_szdd_decompressor(decompressor);
  }
  Flush(s);
  s.channel.Close();
}

}  // namespace

SzddReader::SzddReader() : state_(new SzddReaderState) {}

SzddReader::~SzddReader() {
  state_->channel.Abandon();
  state_->thread.Join();
}

bool SzddReader::Open(std::FILE* stream, std::string& error) {
  return Open(
      [stream](void* into, std::size_t count) -> long {
        const std::size_t got = std::fread(into, 1, count, stream);
        return got < count && std::ferror(stream) ? -1 : static_cast<long>(got);
      },
      error);
}

bool SzddReader::Open(Pull pull, std::string& error) {
  SzddReaderState& s = *state_;
  s.pull = std::move(pull);
  const long got = s.pull(s.header, sizeof s.header);
  if (got < 0) {
    error = "the compressed stream cannot be read";
    return false;
  }
  if (!SzddReadHeader(s.header, static_cast<std::size_t>(got), s.declared, error)) return false;
  s.started = s.thread.Start([&s] { Expand(s); });
  if (!s.started) error = "cannot start a thread for the expansion";
  return s.started;
}

std::uint32_t SzddReader::Declared() const { return state_->declared; }

std::size_t SzddReader::Read(void* into, std::size_t count) {
  return state_->started ? state_->channel.Get(into, count) : 0;
}

bool SzddReader::Finish(std::string& error) {
  SzddReaderState& s = *state_;
  std::uint8_t rest[1 << 16];
  while (Read(rest, sizeof rest) > 0) {
  }
  s.thread.Join();
  if (s.unreadable) {
    error = "the compressed stream cannot be read";
  } else if (s.status != MSPACK_ERR_OK && !s.overran) {
    error = "libmspack failed to expand the stream (error " + std::to_string(s.status) + ")";
  } else {
    // A write past the declared length was refused, and stopped the
    // expansion there.
    error = SzddLengthProblem(s.overran ? std::uint64_t{s.declared} + 1 : s.expanded, s.declared);
  }
  return error.empty();
}

bool SzddReader::Open(const std::uint8_t* data, std::size_t size, std::string& error) {
  std::size_t at = 0;
  return Open(
      [data, size, at](void* into, std::size_t count) mutable {
        const std::size_t got = std::min(count, size - at);
        if (got > 0) std::memcpy(into, data + at, got);
        at += got;
        return static_cast<long>(got);
      },
      error);
}
