// The check of a payload that kitpack writes: expanded again, by an
// expansion that is not ours, it must give back exactly the bytes that went
// in, and when they are an archive, hold everything verify checks. Nothing
// of it is held whole. On the native build, with more than one job, the
// expansion runs while the payload is written, fed what is written, on
// threads of its own; otherwise it reads the written file once that is
// complete.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CodePage;
struct PayloadCheckState;

class PayloadCheck {
 public:
  // archive is the code page to check the expanded bytes as an archive in,
  // or null for bytes of any kind.
  PayloadCheck(const CodePage* archive, unsigned jobs);
  // Ends a check still running: it stops where the payload does.
  ~PayloadCheck();
  PayloadCheck(const PayloadCheck&) = delete;
  PayloadCheck& operator=(const PayloadCheck&) = delete;

  // The payload's bytes as they are written, from one thread at a time.
  void Feed(const std::uint8_t* data, std::size_t size);
  // Once the payload is complete in `written` (flushed): true when it
  // expands to length bytes whose CRC-32 is crc, and is a sound archive if
  // one was asked for. Else false, with the problems. What the check threw
  // on a thread of its own (no memory, say) it throws here.
  bool Finish(const std::filesystem::path& written, std::uint64_t length, std::uint32_t crc,
              std::vector<std::string>& problems);

 private:
  std::unique_ptr<PayloadCheckState> state_;
};
