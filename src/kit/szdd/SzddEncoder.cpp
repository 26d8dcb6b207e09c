// The streaming compressor. The writer of the input stages it a block at a
// time, with the window before the block and the lookahead after it; each
// block goes to the next worker in turn, which plans it, waits until the
// block before it has been written, writes its tokens, and hands the turn on.
// Planning, the costly part, runs side by side; writing, in block order. With
// one job there are no workers: the writer of the input plans and writes each
// block itself.
#include "kit/szdd/SzddEncoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <vector>

#include "kit/szdd/SzddBlockPlan.h"
#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/Workers.h"

namespace {

// Staged input: the window before the block, the block, and the lookahead
// the finder reads past the block's end.
constexpr std::size_t STAGE_SIZE = SZDD_WINDOW_SIZE + SZDD_BLOCK_SIZE + SZDD_LOOKAHEAD;

// A worker and the block it holds. The writer of the input fills the plan and
// posts filled; the worker posts emptied when the block has been written.
// turn is posted when the block before it has been written.
struct Slot {
  BlockPlan plan;
  Semaphore filled, emptied, turn;
  bool quit = false;  // set with filled: no more blocks
  bool busy = false;  // the input's writer's view: a block is out
  WorkerThread thread;
};

}  // namespace

struct SzddEncoder::State {
  std::uint32_t length;
  SzddOutput output;
  SzddProgress progress;
  std::vector<std::uint8_t> stage = std::vector<std::uint8_t>(STAGE_SIZE);
  std::size_t staged = SZDD_WINDOW_SIZE;     // bytes in stage, the window's included
  std::uint64_t received = 0;                // input bytes taken
  std::size_t begin = 0;                     // input offset of the staged block
  std::size_t blocks = 0;                    // blocks sent out
  std::vector<std::unique_ptr<Slot>> slots;  // blocks go to them in turn
  bool threaded = false;                     // each slot has a worker
  TokenWriter writer;                        // used by one block at a time, in block order
  std::atomic<bool> failed{false};
  std::string failure;        // why, when it was not the output; set before failed
  std::exception_ptr thrown;  // by the output, on whichever thread wrote; set before failed
  std::uint64_t done = 0;     // input bytes written out, by the writer of the turn

  void Emit(BlockPlan& plan);
  void Fail(const std::string& why);
  void Work(Slot& slot, std::size_t w);
  void Dispatch(std::size_t count);
  void Start(unsigned jobs);
  void Stop();
};

void SzddEncoder::State::Fail(const std::string& why) {
  if (failed.load()) return;
  failure = why;
  failed.store(true);
}

// Writes a planned block's tokens and sends out what they settled. What the
// output throws is kept for Finish to throw again on the caller's thread.
void SzddEncoder::State::Emit(BlockPlan& plan) {
  if (failed.load()) return;
  try {
    plan.Write(writer);
    const bool ok = output(writer.Bytes(), writer.Settled(false));
    writer.DropSettled(false);
    done += plan.Count();
    if (ok && progress) progress(done, length);
    if (!ok) failed.store(true);
  } catch (...) {
    thrown = std::current_exception();
    failed.store(true);
  }
}

// A worker's loop. It looks at the slot after its own only once it has a
// block: by then every worker has been started.
void SzddEncoder::State::Work(Slot& slot, std::size_t w) {
  for (;;) {
    slot.filled.Wait();
    if (slot.quit) return;
    slot.plan.Plan();
    slot.turn.Wait();
    Emit(slot.plan);
    slots[(w + 1) % slots.size()]->turn.Post();
    slot.emptied.Post();
  }
}

// Sends the staged block of count bytes to the next worker, or plans and
// writes it here, and keeps the window and lookahead for the next block.
void SzddEncoder::State::Dispatch(std::size_t count) {
  Slot& slot = *slots[blocks++ % slots.size()];
  if (slot.busy) slot.emptied.Wait();
  slot.busy = false;
  std::uint8_t* bytes = slot.plan.Load(begin, count);
  const std::size_t used = SZDD_WINDOW_SIZE + count + SZDD_LOOKAHEAD;
  std::memcpy(bytes, stage.data(), std::min(used, staged));
  // Past the input's end the finder reads zeros.
  if (staged < used) std::memset(bytes + staged, 0, used - staged);
  if (threaded) {
    slot.busy = true;
    slot.filled.Post();
  } else {
    slot.plan.Plan();
    Emit(slot.plan);
  }
  std::memmove(stage.data(), stage.data() + count, staged - count);
  staged -= count;
  begin += count;
}

// Starts a worker for each job, unless there is one job only. A worker that
// cannot be started leaves its share to the others.
void SzddEncoder::State::Start(unsigned jobs) {
  for (unsigned w = 0; w < std::max(jobs, 1u); ++w) slots.push_back(std::make_unique<Slot>());
  if (slots.size() < 2) return;
  std::size_t started = 0;
  while (started < slots.size() &&
         slots[started]->thread.Start([this, slot = slots[started].get(), w = started] { Work(*slot, w); })) {
    ++started;
  }
  slots.resize(std::max<std::size_t>(started, 1));
  threaded = started > 0;
  if (threaded) slots.front()->turn.Post();
}

// Waits for the blocks that are out, then ends every worker.
void SzddEncoder::State::Stop() {
  for (auto& slot : slots) {
    if (slot->busy) slot->emptied.Wait();
    slot->busy = false;
  }
  if (!threaded) return;
  for (auto& slot : slots) {
    slot->quit = true;
    slot->filled.Post();
    slot->thread.Join();
  }
  threaded = false;
}

SzddEncoder::SzddEncoder(std::uint32_t length, char lastChar, unsigned jobs, SzddOutput output, SzddProgress progress)
    : state_(new State) {
  state_->length = length;
  state_->output = std::move(output);
  state_->progress = std::move(progress);
  std::memset(state_->stage.data(), SZDD_WINDOW_FILL, SZDD_WINDOW_SIZE);
  state_->Start(jobs);
  std::uint8_t header[SZDD_HEADER_SIZE];
  SzddWriteHeader(header, lastChar, length);
  if (!state_->output(header, sizeof header)) state_->failed.store(true);
}

SzddEncoder::~SzddEncoder() { state_->Stop(); }

bool SzddEncoder::Write(const std::uint8_t* data, std::size_t size) {
  State& s = *state_;
  if (s.failed.load()) return false;
  if (size > s.length - s.received) {
    s.Fail("more input than the " + std::to_string(s.length) + " bytes given");
    return false;
  }
  s.received += size;
  while (size > 0) {
    const std::size_t piece = std::min(size, STAGE_SIZE - s.staged);
    std::memcpy(s.stage.data() + s.staged, data, piece);
    s.staged += piece;
    data += piece;
    size -= piece;
    if (s.staged == STAGE_SIZE) s.Dispatch(SZDD_BLOCK_SIZE);
  }
  return !s.failed.load();
}

bool SzddEncoder::Finish(std::string& error) {
  State& s = *state_;
  if (!s.failed.load() && s.received != s.length) {
    s.Fail("the input ended after " + std::to_string(s.received) + " of the " + std::to_string(s.length) +
           " bytes given");
  }
  // The input may have ended within the lookahead of a full block.
  while (!s.failed.load() && s.staged > SZDD_WINDOW_SIZE) {
    s.Dispatch(std::min(SZDD_BLOCK_SIZE, s.staged - SZDD_WINDOW_SIZE));
  }
  s.Stop();
  if (s.thrown) std::rethrow_exception(s.thrown);
  if (!s.failed.load() && !s.output(s.writer.Bytes(), s.writer.Settled(true))) s.failed.store(true);
  s.writer.DropSettled(true);
  error = s.failure;
  return !s.failed.load();
}

unsigned SzddJobs(unsigned jobs, std::uint64_t length) {
  const std::uint64_t blocks = std::max<std::uint64_t>(1, (length + SZDD_BLOCK_SIZE - 1) / SZDD_BLOCK_SIZE);
  return static_cast<unsigned>(std::min<std::uint64_t>(jobs == 0 ? MachineCores() : jobs, blocks));
}
