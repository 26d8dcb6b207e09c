// The SZDD compressor as a stream: input comes in pieces of any size, and the
// compressed stream goes out in order while the input is still coming, so
// that neither is ever held whole. The input is cut into blocks of a fixed
// size, each parsed on its own with the window before it, by as many
// workers as there are jobs; the cut depends on the block size alone, so the
// output is the same for any number of jobs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Takes the next bytes of the compressed stream. False, when they could not
// be taken, stops the compression; the taker keeps its own message. It is
// called from one thread at a time, not always the one that writes the
// input.
using SzddOutput = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// Called with the input bytes whose compressed form has gone out and the
// total, after every block; like the output, from one thread at a time.
using SzddProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

class SzddEncoder {
 public:
  // The input's length, which the header records, is known before the input:
  // Finish fails unless exactly that many bytes came. lastChar is the last
  // character of the expanded file's name. jobs (at least 1) is the number
  // of blocks parsed at once; each takes about 9 MiB. Throws std::bad_alloc
  // when those cannot be had.
  SzddEncoder(std::uint32_t length, char lastChar, unsigned jobs, SzddOutput output, SzddProgress progress = {});
  // Stops the workers, waiting for the blocks they hold.
  ~SzddEncoder();
  SzddEncoder(const SzddEncoder&) = delete;
  SzddEncoder& operator=(const SzddEncoder&) = delete;

  // Takes the next input bytes. False once the compression has failed.
  bool Write(const std::uint8_t* data, std::size_t size);
  // Compresses what is left and writes the end of the stream. False, with a
  // message in error, when the compression failed: the output refused its
  // bytes (error is then empty: the output keeps its own message), or the
  // input's length was not the one given. What the output or the progress
  // threw, on whichever thread, it throws again here.
  bool Finish(std::string& error);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The jobs for `jobs`, 0 meaning one for each of the machine's cores, at
// most as many as the blocks of an input of that length.
unsigned SzddJobs(unsigned jobs, std::uint64_t length);
