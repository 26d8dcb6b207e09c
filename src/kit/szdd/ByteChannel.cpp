#include "kit/szdd/ByteChannel.h"

#include <algorithm>
#include <cstring>

// Each side waits for a good share of the ring, a quarter of it or all that
// it asks for when that is less, rather than for any byte or room at all: the
// other side is woken only when that share is there, so the two hand over
// bytes in large pieces instead of waking each other for every small write.
ByteChannel::ByteChannel(std::size_t capacity) : ring_(capacity), share_(std::max<std::size_t>(1, capacity / 4)) {}

bool ByteChannel::Put(const void* data, std::size_t size) {
  const auto* from = static_cast<const std::uint8_t*>(data);
  std::unique_lock<std::mutex> lock(mutex_);
  while (size > 0) {
    const std::size_t wanted = std::min(size, share_);
    if (!abandoned_ && ring_.size() - count_ < wanted) {
      writerWaits_ = wanted;
      changed_.wait(lock, [&] { return abandoned_ || ring_.size() - count_ >= wanted; });
      writerWaits_ = 0;
    }
    if (abandoned_) return false;
    const std::size_t tail = (head_ + count_) % ring_.size();
    const std::size_t piece = std::min({size, ring_.size() - count_, ring_.size() - tail});
    std::memcpy(ring_.data() + tail, from, piece);
    count_ += piece;
    from += piece;
    size -= piece;
    if (readerWaits_ > 0 && count_ >= readerWaits_) changed_.notify_all();
  }
  return true;
}

void ByteChannel::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

std::size_t ByteChannel::Get(void* into, std::size_t size) {
  auto* to = static_cast<std::uint8_t*>(into);
  std::size_t got = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  while (got < size) {
    const std::size_t wanted = std::min(size - got, share_);
    if (!closed_ && count_ < wanted) {
      readerWaits_ = wanted;
      changed_.wait(lock, [&] { return closed_ || count_ >= wanted; });
      readerWaits_ = 0;
    }
    if (count_ == 0) break;
    const std::size_t piece = std::min({size - got, count_, ring_.size() - head_});
    std::memcpy(to + got, ring_.data() + head_, piece);
    head_ = (head_ + piece) % ring_.size();
    count_ -= piece;
    got += piece;
    if (writerWaits_ > 0 && ring_.size() - count_ >= writerWaits_) changed_.notify_all();
  }
  return got;
}

void ByteChannel::Abandon() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = true;
  count_ = 0;
  changed_.notify_all();
}
