// A payload written as its plain bytes are produced: they go through the
// streaming compressor into the output as they come, and the output is
// checked by expanding it again (PayloadCheck) before it counts as written.
// Neither the plain bytes nor the payload are ever held whole.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kit/LibraryWriter.h"
#include "kit/OutputFile.h"

class CodePage;

// Gives the plain bytes, in order, to the sink. False, with a message naming
// what failed, when it cannot.
using PlainSource = std::function<bool(ByteSink& sink, std::string& error)>;

struct PayloadFigures {
  std::uint64_t plainBytes = 0;
  std::uint64_t payloadBytes = 0;
};

// What a payload is made from and how.
struct PayloadPlan {
  std::string name;         // the payload, as messages name it
  std::uint64_t length;     // of the plain bytes, at most SZDD_MAX_INPUT
  char lastChar;            // of the expanded file's name, which the header records
  PlainSource produce;      // the plain bytes
  const CodePage* archive;  // the code page to check them as an archive in, or null
  unsigned jobs;            // compressing at once
};

// Compresses the plain bytes into out, which the caller has created and
// commits. False, with the problems, each naming what failed, when the
// payload cannot be written or does not hold.
bool WritePayload(const PayloadPlan& plan, OutputFile& out, PayloadFigures& figures,
                  std::vector<std::string>& problems);
