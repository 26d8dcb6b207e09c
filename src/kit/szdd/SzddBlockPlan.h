// One block of the compressor's input, parsed on its own: the longest match
// at every position, the smallest encoding that follows from them, and the
// tokens of that encoding. A block's plan depends on its bytes, the window
// before it and the few bytes after it alone, so blocks are planned on any
// thread, in any order, and give the same tokens.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kit/szdd/SzddFormat.h"
#include "kit/szdd/SzddMatchFinder.h"

// Input bytes parsed at a time. Matches do not cross a block's end, which
// costs a few bits per block at most; the cut between blocks depends on this
// size alone.
constexpr std::size_t SZDD_BLOCK_SIZE = 1u << 20;

// The most a block's tokens take: a literal for every byte, and a flag byte
// for every eight.
constexpr std::size_t SZDD_BLOCK_OUTPUT_MAX = SZDD_BLOCK_SIZE + SZDD_BLOCK_SIZE / 8 + 1;

// Writes tokens behind flag bytes, eight tokens to a flag byte, the first
// token in its least significant bit; 1 marks a literal. A flag byte's group
// can span blocks, so one writer takes every block's tokens in order.
class TokenWriter {
 public:
  TokenWriter();
  void Literal(std::uint8_t byte);
  void Match(unsigned windowCell, unsigned length);
  // The bytes that no later token can change: all of them but an open flag
  // byte's group, or all of them once the stream has ended.
  std::size_t Settled(bool ended) const { return ended || tokens_ == 8 ? at_ : flag_; }
  const std::uint8_t* Bytes() const { return bytes_.data(); }
  // Forgets the settled bytes, once they have been written out.
  void DropSettled(bool ended);

 private:
  void Open();

  std::vector<std::uint8_t> bytes_;  // room for a block's tokens and an open group
  std::size_t at_ = 0;               // where the next byte goes
  std::size_t flag_ = 0;             // the open flag byte
  unsigned tokens_ = 8;              // in the open flag byte; 8 means none open
};

class BlockPlan {
 public:
  BlockPlan();
  // The block's bytes, laid out as SzddBlock holds them: the window before
  // input byte `begin`, count bytes, and SZDD_LOOKAHEAD after them. The
  // caller fills them.
  std::uint8_t* Load(std::size_t begin, std::size_t count);
  // Finds the matches and the smallest encoding.
  void Plan();
  // Writes the planned tokens.
  void Write(TokenWriter& writer) const;
  std::size_t Count() const { return count_; }

 private:
  SzddTreeFinder finder_;
  SzddBlock block_;
  std::vector<std::uint8_t> lengths_;
  std::vector<std::uint16_t> distances_;
  std::vector<std::uint32_t> cost_;
  std::size_t begin_ = 0, count_ = 0;
};
