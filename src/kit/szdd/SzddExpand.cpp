// SZDD expansion through libmspack, with an mspack_system over memory: the
// "file names" it is handed are pointers to the buffers below.
#include <mspack.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddFormat.h"

namespace {

// One side of the expansion: the stream read, or the bytes written.
struct MemoryFile {
  const std::uint8_t* data = nullptr;  // input
  std::size_t size = 0;
  std::size_t at = 0;
  std::vector<std::uint8_t>* out = nullptr;  // output
  std::uint64_t limit = 0;                   // the declared length
  bool overran = false;                      // a write went past it
};

MemoryFile* AsMemory(mspack_file* file) { return reinterpret_cast<MemoryFile*>(file); }

mspack_file* MemoryOpen(mspack_system*, const char* name, int) {
  return reinterpret_cast<mspack_file*>(const_cast<char*>(name));
}

void MemoryClose(mspack_file*) {}

int MemoryRead(mspack_file* file, void* buffer, int bytes) {
  MemoryFile* f = AsMemory(file);
  if (bytes < 0 || !f->data) return -1;
  const std::size_t n = std::min(static_cast<std::size_t>(bytes), f->size - f->at);
  std::memcpy(buffer, f->data + f->at, n);
  f->at += n;
  return static_cast<int>(n);
}

// Refuses, and so stops the expansion, as soon as the output would pass the
// declared length: a stream cannot make us hold more than its header says.
int MemoryWrite(mspack_file* file, void* buffer, int bytes) {
  MemoryFile* f = AsMemory(file);
  if (bytes < 0 || !f->out) return -1;
  if (f->out->size() + static_cast<std::uint64_t>(bytes) > f->limit) {
    f->overran = true;
    return -1;
  }
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  f->out->insert(f->out->end(), p, p + bytes);
  return bytes;
}

int MemorySeek(mspack_file* file, off_t offset, int mode) {
  MemoryFile* f = AsMemory(file);
  if (!f->data) return -1;
  off_t base = 0;
  switch (mode) {
    case MSPACK_SYS_SEEK_START: base = 0; break;
    case MSPACK_SYS_SEEK_CUR: base = static_cast<off_t>(f->at); break;
    case MSPACK_SYS_SEEK_END: base = static_cast<off_t>(f->size); break;
    default: return -1;
  }
  const off_t target = base + offset;
  if (target < 0 || static_cast<std::uint64_t>(target) > f->size) return -1;
  f->at = static_cast<std::size_t>(target);
  return 0;
}

off_t MemoryTell(mspack_file* file) {
  MemoryFile* f = AsMemory(file);
  return static_cast<off_t>(f->data ? f->at : f->out->size());
}

void MemoryMessage(mspack_file*, const char*, ...) {}
void* MemoryAlloc(mspack_system*, std::size_t bytes) { return std::malloc(bytes); }
void MemoryFree(void* p) { std::free(p); }
void MemoryCopy(void* from, void* to, std::size_t bytes) { std::memmove(to, from, bytes); }

mspack_system memorySystem = {MemoryOpen,    MemoryClose, MemoryRead, MemoryWrite, MemorySeek, MemoryTell,
                              MemoryMessage, MemoryAlloc, MemoryFree, MemoryCopy,  nullptr};

struct DecompressorDeleter {
  void operator()(msszdd_decompressor* d) const { mspack_destroy_szdd_decompressor(d); }
};

}  // namespace

bool SzddExpand(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, std::string& error) {
  out.clear();
  std::uint32_t declared = 0;
  if (!SzddReadHeader(data, size, declared, error)) return false;

  // A pair and its share of a flag byte (17 bits) yield at most 18 bytes, so
  // the stream bounds what is worth reserving whatever the header claims.
  const std::uint64_t bound = static_cast<std::uint64_t>(size - SZDD_HEADER_SIZE) * 9;
  out.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(declared, bound)));

  std::unique_ptr<msszdd_decompressor, DecompressorDeleter> decompressor(
      mspack_create_szdd_decompressor(&memorySystem));
  if (!decompressor) {
    error = "libmspack could not set up an SZDD decompressor";
    return false;
  }
  MemoryFile input;
  input.data = data;
  input.size = size;
  MemoryFile output;
  output.out = &out;
  output.limit = declared;
  const int status = decompressor->decompress(decompressor.get(), reinterpret_cast<const char*>(&input),
                                              reinterpret_cast<const char*>(&output));
  if (output.overran) {
    error = "stream expands past the " + std::to_string(declared) + " bytes its header declares";
    return false;
  }
  if (status != MSPACK_ERR_OK) {
    error = "libmspack failed to expand the stream (error " + std::to_string(status) + ")";
    return false;
  }
  if (out.size() != declared) {
    error =
        "stream expands to " + std::to_string(out.size()) + " bytes, its header declares " + std::to_string(declared);
    return false;
  }
  return true;
}
