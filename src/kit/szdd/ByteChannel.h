// A bounded pipe of bytes from one thread to another, on the native build:
// the compressed payload on its way to a check that expands it while it is
// written, and expanded bytes on their way from the expanding thread to the
// reader that asked for them. The writer waits while it is full, the reader
// while it is empty, so that neither side holds more than its capacity.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class ByteChannel {
 public:
  explicit ByteChannel(std::size_t capacity);
  ByteChannel(const ByteChannel&) = delete;
  ByteChannel& operator=(const ByteChannel&) = delete;

  // The writer's side. Put takes all the bytes, waiting for room; false when
  // the reader has abandoned the channel, which drops them. Close says that
  // no more will come.
  bool Put(const void* data, std::size_t size);
  void Close();

  // The reader's side. Get gives up to size bytes, waiting for any; fewer
  // than asked only once the writer has closed the channel, 0 at its end.
  // Abandon lets the writer go on without a reader.
  std::size_t Get(void* into, std::size_t size);
  void Abandon();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> ring_;  // the bytes from head_ on, count_ of them, wrapping around
  const std::size_t share_;         // the most either side waits for at once
  std::size_t head_ = 0;            // guarded by mutex_, as are the rest
  std::size_t count_ = 0;
  std::size_t readerWaits_ = 0;  // bytes the waiting reader wants there, 0 when it does not wait
  std::size_t writerWaits_ = 0;  // room the waiting writer wants, the same
  bool closed_ = false;
  bool abandoned_ = false;
};
