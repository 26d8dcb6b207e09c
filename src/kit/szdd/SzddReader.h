// The SZDD expansion as a stream: the expanded bytes are read as they come
// and never held whole. Natively libmspack expands the stream on a thread of
// its own; on Windows the platform's LZ expansion library does, the one the
// installer reads its payload with. Either way the expansion is not ours, so
// that it checks what our compressor wrote.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

struct SzddReaderState;

class SzddReader {
 public:
  SzddReader();
  // Stops an expansion that is still running. Its source must end, or fail,
  // for the expansion to stop.
  ~SzddReader();
  SzddReader(const SzddReader&) = delete;
  SzddReader& operator=(const SzddReader&) = delete;

  // Checks the header of the compressed stream, which stands at its start,
  // and starts the expansion. The stream stays the caller's, open until the
  // reader is done. False, with a message, for a stream shorter than a
  // header or one that is not SZDD.
  bool Open(std::FILE* stream, std::string& error);
#if !defined(_WIN32)
  // Natively the compressed stream may come from anywhere: pull gives up to
  // count bytes, fewer only at its end, or -1 when it cannot be read.
  using Pull = std::function<long(void* into, std::size_t count)>;
  bool Open(Pull pull, std::string& error);
#endif
  // A whole stream held in memory, which stays the caller's until the
  // reader is done: the tests' and the fuzz targets' way in. On Windows it
  // goes through a temporary file, as the LZ library reads only files.
  bool Open(const std::uint8_t* data, std::size_t size, std::string& error);
  // The expanded length the header declares.
  std::uint32_t Declared() const;
  // Up to count expanded bytes; fewer only where the expansion ended, or
  // stopped on a fault that Finish tells.
  std::size_t Read(void* into, std::size_t count);
  // Expands whatever is left, and tells whether the whole stream was sound:
  // readable, well formed, and expanding to exactly the declared length.
  // False, with a message, when it was not.
  bool Finish(std::string& error);

 private:
  std::unique_ptr<SzddReaderState> state_;
};
