#include "SzddTestData.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

#include "kit/szdd/Szdd.h"

const Content ALL_CONTENTS[8] = {Content::Spaces,   Content::Zeros,      Content::Random,     Content::Period1,
                                 Content::Period18, Content::Period4096, Content::Period4097, Content::Text};

const char* ContentName(Content content) {
  switch (content) {
    case Content::Spaces: return "Spaces";
    case Content::Zeros: return "Zeros";
    case Content::Random: return "Random";
    case Content::Period1: return "Period1";
    case Content::Period18: return "Period18";
    case Content::Period4096: return "Period4096";
    case Content::Period4097: return "Period4097";
    case Content::Text: return "Text";
  }
  return "?";
}

namespace {

Bytes RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
  return bytes;
}

// A random period repeated: matches at exactly that distance and no other.
Bytes Periodic(std::size_t period, std::size_t size) {
  const Bytes unit = RandomBytes(period, static_cast<unsigned>(period));
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = unit[i % period];
  return bytes;
}

// English prose from the system's licence texts, repeated as needed.
Bytes Text(std::size_t size) {
  std::ifstream file("/usr/share/common-licenses/GPL-3", std::ios::binary);
  const Bytes text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_GT(text.size(), 30000u) << "the licence text that serves as real text is missing";
  Bytes bytes(size);
  for (std::size_t i = 0; i < size && !text.empty(); ++i) bytes[i] = text[i % text.size()];
  return bytes;
}

}  // namespace

Bytes MakeContent(Content content, std::size_t size) {
  switch (content) {
    case Content::Spaces: return Bytes(size, ' ');
    case Content::Zeros: return Bytes(size, 0);
    case Content::Random: return RandomBytes(size, 12345);
    case Content::Period1: return Bytes(size, 'x');
    case Content::Period18: return Periodic(18, size);
    case Content::Period4096: return Periodic(4096, size);
    case Content::Period4097: return Periodic(4097, size);
    case Content::Text: return Text(size);
  }
  return {};
}

Bytes Mixed(std::size_t size) {
  Bytes bytes = MakeContent(Content::Text, size);
  const Bytes random = MakeContent(Content::Random, size);
  for (std::size_t i = 0; i < size; i += 9000) {
    for (std::size_t k = i; k < std::min(size, i + 3000); ++k) bytes[k] = random[k];
  }
  return bytes;
}

Bytes Records(std::size_t size) {
  std::mt19937 generator(7);
  Bytes input;
  for (std::uint32_t id = 0; input.size() < size; ++id) {
    // A 16-byte record: a counter, two fields of a few low bits, the rest fixed.
    std::uint8_t record[16] = {0, 0, 0, 0, 0x4C, 0x01, 0, 0, 0, 0, 0, 0, 0x20, 0, 0x60, 0xC0};
    record[0] = static_cast<std::uint8_t>(id);
    record[1] = static_cast<std::uint8_t>(id >> 8);
    record[6] = static_cast<std::uint8_t>(generator() % 4);
    record[8] = static_cast<std::uint8_t>(generator() % 16);
    input.insert(input.end(), record, record + 16);
  }
  input.resize(size);
  return input;
}

Bytes Compress(const Bytes& input, char lastChar) {
  Bytes out;
  std::string error;
  EXPECT_TRUE(SzddCompress(input.data(), input.size(), lastChar, out, error)) << error;
  return out;
}

Bytes Stream(std::uint32_t declared, const Bytes& body, char lastChar) {
  Bytes s = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', static_cast<std::uint8_t>(lastChar)};
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
  s.insert(s.end(), body.begin(), body.end());
  return s;
}

Walk WalkStream(const Bytes& stream) {
  Walk walk;
  if (stream.size() < 14) {
    walk.fault = "shorter than the header";
    return walk;
  }
  std::uint8_t window[4096];
  std::fill(window, window + 4096, ' ');
  unsigned at = 4096 - 16;
  std::size_t in = 14;
  while (in < stream.size()) {
    const std::uint8_t flags = stream[in++];
    for (int bit = 0; bit < 8; ++bit) {
      if (in == stream.size()) {
        if (bit == 0) walk.fault = "a flag byte after the last token";
        if (flags >> bit) walk.fault = "flag bits set after the last token";
        return walk;
      }
      if (flags & (1 << bit)) {
        const std::uint8_t byte = stream[in++];
        walk.output.push_back(byte);
        window[at++ & 4095] = byte;
      } else {
        if (in + 2 > stream.size()) {
          walk.fault = "truncated in a pair";
          return walk;
        }
        unsigned from = stream[in] | ((stream[in + 1] & 0xF0) << 4);
        const unsigned length = (stream[in + 1] & 0x0F) + 3;
        in += 2;
        for (unsigned k = 0; k < length; ++k) {
          const std::uint8_t byte = window[from++ & 4095];
          walk.output.push_back(byte);
          window[at++ & 4095] = byte;
        }
      }
    }
  }
  return walk;
}

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "szdd-" + std::to_string(getpid()) + "-" + name;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}
