// The SZDD compressor. The costs are fixed (9 bits a literal, 17 a match of
// any length or distance), so the smallest output is found by a backward pass
// over each block that knows the longest match at every position: from there
// any shorter match at the same distance is possible too.
#include <algorithm>
#include <atomic>
#include <memory>
#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif

#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddMatchFinder.h"

namespace {

// Input bytes parsed at a time. Matches do not cross a block's end, which
// costs a few bits per block at most.
constexpr std::size_t BLOCK_SIZE = 1u << 20;

// Writes tokens behind flag bytes, eight tokens to a flag byte, the first
// token in its least significant bit; 1 marks a literal. The caller has made
// room: a literal for every input byte is the most the output can take.
struct TokenWriter {
  std::uint8_t* at;
  std::uint8_t* flag = nullptr;
  unsigned tokens = 8;  // in the current flag byte; 8 means none open

  void Open() {
    if (tokens == 8) {
      flag = at++;
      *flag = 0;
      tokens = 0;
    }
  }
  void Literal(std::uint8_t byte) {
    Open();
    *flag |= static_cast<std::uint8_t>(1u << tokens++);
    *at++ = byte;
  }
  void Match(unsigned windowCell, unsigned length) {
    Open();
    ++tokens;
    at[0] = static_cast<std::uint8_t>(windowCell & 0xFF);
    at[1] = static_cast<std::uint8_t>(((windowCell >> 4) & 0xF0) | (length - SZDD_MIN_MATCH));
    at += 2;
  }
};

// Fewest bits that encode the block from each position to its end, given
// the longest match at each position. A match at k may end anywhere in
// [k + 3, k + lengths[k]], and that range only moves down as k does (the
// match at k + 1 is at least lengths[k] - 1 long), so the cheapest end in it
// is kept by a queue of candidate ends, cheapest first.
void PlanBlock(const std::uint8_t* lengths, std::size_t count, std::uint32_t* cost) {
  std::uint32_t queue[32];  // ends, in decreasing order and increasing cost, as a ring
  unsigned head = 0, tail = 0;
  cost[count] = 0;
  for (std::size_t k = count; k-- > 0;) {
    std::uint32_t best = cost[k + 1] + SZDD_LITERAL_BITS;
    if (k + SZDD_MIN_MATCH <= count) {
      const std::uint32_t end = static_cast<std::uint32_t>(k + SZDD_MIN_MATCH);
      while (tail != head && cost[queue[(tail - 1) & 31]] >= cost[end]) --tail;
      queue[tail++ & 31] = end;
    }
    // Ends past the range are of no further use; without a match here, those
    // past the longest possible one are not either. That keeps the queue
    // within the 16 ends a match can have.
    const std::uint32_t length = lengths[k];
    const std::size_t last = k + (length >= SZDD_MIN_MATCH ? length : SZDD_MAX_MATCH);
    while (head != tail && queue[head & 31] > last) ++head;
    if (length >= SZDD_MIN_MATCH) best = std::min(best, cost[queue[head & 31]] + SZDD_MATCH_BITS);
    cost[k] = best;
  }
}

// The longest tree walk the compressor makes. Ordinary data never needs as
// many; data made of near-identical records (keys that share all but their
// last bytes) would otherwise walk dozens to hundreds of nodes a byte.
// Cutting there costs such data little size, as a cut walk falls back on the
// match before it shifted by a byte (0.0006% over the best parse on the
// mixed synthetic payload of the benchmark), and ordinary data nothing
// measurable. Fewer steps cut the trees of ordinary data too: on the SDK
// archive 32 steps cost 0.01%, 24 steps 0.35%.
constexpr unsigned SCAN_STEPS = 64;

// One block on its way: the bytes the finder reads, the longest match at
// each position and the plan. Blocks are independent once their finder has
// been warmed with the window before them, so several are worked at once.
struct BlockWork {
  SzddTreeFinder finder{SCAN_STEPS};  // reused from block to block by one worker
  SzddBlock block;
  std::vector<std::uint8_t> lengths = std::vector<std::uint8_t>(BLOCK_SIZE);
  std::vector<std::uint16_t> distances = std::vector<std::uint16_t>(BLOCK_SIZE);
  std::vector<std::uint32_t> cost = std::vector<std::uint32_t>(BLOCK_SIZE + 1);
  std::size_t begin = 0, count = 0;

  void Plan(const std::uint8_t* data, std::size_t size) {
    SzddLoadBlock(block, data, size, begin, begin + count);
    const std::uint32_t first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin);
    finder.Warm(block, first);
    finder.Scan(block, first, count, lengths.data(), distances.data());
    PlanBlock(lengths.data(), count, cost.data());
  }

  // Follows the plan: a literal where it costs what the plan says, else the
  // shortest match that does.
  void Write(const std::uint8_t* data, TokenWriter& writer) const {
    const std::uint32_t first = static_cast<std::uint32_t>(SZDD_TEXT_ORIGIN + begin);
    for (std::size_t k = 0; k < count;) {
      if (cost[k] == cost[k + 1] + SZDD_LITERAL_BITS) {
        writer.Literal(data[begin + k]);
        ++k;
        continue;
      }
      std::uint32_t length = SZDD_MIN_MATCH;
      while (cost[k + length] + SZDD_MATCH_BITS != cost[k]) ++length;
      const std::uint32_t position = first + static_cast<std::uint32_t>(k);
      writer.Match((position - distances[k] + SZDD_WINDOW_START) & (SZDD_WINDOW_SIZE - 1), length);
      k += length;
    }
  }
};

// Workers that plan blocks side by side, at least one even for no block. The
// Windows builds' C++ runtime has no threads, and the kit is built on Linux,
// so there it is one.
unsigned WorkerCount(std::size_t blocks) {
#if defined(_WIN32)
  (void)blocks;
  return 1;
#else
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(std::max<std::size_t>(1, std::min<std::size_t>({cores, blocks, 8})));
#endif
}

// Blocks go to whichever worker is free, in order, and are written in order:
// a worker whose block is the next to be written writes it at once, else it
// waits for the ones before it. The writing overlaps the other workers'
// planning, and a slow block holds up only the worker that took it.
class Pipeline {
 public:
  Pipeline(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, TokenWriter& writer)
      : data_(data), size_(size), blocks_((size + BLOCK_SIZE - 1) / BLOCK_SIZE), out_(out), writer_(writer) {}

  // Takes blocks until none is left. The calling thread passes progress and
  // reports what has been written so far after each of its blocks; the
  // callback is never called from another thread.
  void Run(BlockWork& work, const SzddProgress* progress) {
    for (;;) {
      const std::size_t block = next_.fetch_add(1);
      if (block >= blocks_) return;
      work.begin = block * BLOCK_SIZE;
      work.count = std::min(size_ - work.begin, BLOCK_SIZE);
      work.Plan(data_, size_);
      WaitTurn(block);
      // The output grows by the most a block can take, a literal a byte and
      // its flag bytes, within the room reserved for it, so that the
      // writer's pointers hold. Growing it all at once would have the
      // calling thread clear the whole of it before any work starts.
      out_.resize(static_cast<std::size_t>(writer_.at - out_.data()) + work.count + work.count / 8 + 1);
      work.Write(data_, writer_);
      written_.store(work.begin + work.count);
      EndTurn(block);
      if (progress) Report(*progress);
    }
  }

  // Reports the bytes written, if more than last time.
  void Report(const SzddProgress& progress) {
    const std::uint64_t done = written_.load();
    if (done > reported_) {
      reported_ = done;
      progress(done, size_);
    }
  }

 private:
#if defined(_WIN32)
  // One worker: every block's turn has come when it is planned.
  void WaitTurn(std::size_t) {}
  void EndTurn(std::size_t) {}
#else
  void WaitTurn(std::size_t block) {
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [&] { return writtenBlocks_ == block; });
  }
  void EndTurn(std::size_t block) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      writtenBlocks_ = block + 1;
    }
    turn_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable turn_;
  std::size_t writtenBlocks_ = 0;  // guarded by mutex_
#endif
  const std::uint8_t* data_;
  std::size_t size_, blocks_;
  std::vector<std::uint8_t>& out_;  // used with writer_
  TokenWriter& writer_;             // used by one worker at a time, in block order
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> written_{0};
  std::uint64_t reported_ = 0;  // the calling thread's
};

}  // namespace

bool SzddCompress(const std::uint8_t* data, std::size_t size, char lastChar, std::vector<std::uint8_t>& out,
                  std::string& error, const SzddProgress& progress) {
  out.clear();
  if (static_cast<std::uint64_t>(size) > SZDD_MAX_INPUT) {
    error = "input of " + std::to_string(size) + " bytes is too large for SZDD (2 GiB or more)";
    return false;
  }
  out.reserve(SZDD_HEADER_SIZE + size + size / 8 + 1);
  out.resize(SZDD_HEADER_SIZE);
  SzddWriteHeader(out.data(), lastChar, static_cast<std::uint32_t>(size));
  TokenWriter writer{out.data() + SZDD_HEADER_SIZE};

  const std::size_t blocks = (size + BLOCK_SIZE - 1) / BLOCK_SIZE;
  std::vector<std::unique_ptr<BlockWork>> work;
  for (unsigned w = WorkerCount(blocks); w > 0; --w) work.push_back(std::make_unique<BlockWork>());

  Pipeline pipeline(data, size, out, writer);
  const SzddProgress* report = progress ? &progress : nullptr;
#if defined(_WIN32)
  pipeline.Run(*work[0], report);
#else
  // A worker that cannot be started leaves its share to the others.
  std::vector<std::thread> threads;
  for (std::size_t w = 1; w < work.size(); ++w) {
    try {
      threads.emplace_back([&pipeline, &work, w] { pipeline.Run(*work[w], nullptr); });
    } catch (const std::system_error&) {
      break;
    }
  }
  pipeline.Run(*work[0], report);
  for (auto& t : threads) t.join();
#endif
  if (report) pipeline.Report(progress);
  out.resize(static_cast<std::size_t>(writer.at - out.data()));
  return true;
}
