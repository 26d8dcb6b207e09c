// compress: a file compressed into an SZDD payload as it is read, and
// checked by expanding it again.
#include <cstdio>
#include <system_error>

#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/KitFiles.h"
#include "kit/KitStep.h"
#include "kit/PathDisplay.h"
#include "kit/PayloadWriter.h"
#include "kit/ProgressBar.h"
#include "kit/szdd/Szdd.h"
#include "kit/szdd/SzddEncoder.h"

namespace fs = std::filesystem;

int CompressCommand(const fs::path& input, const fs::path& output, unsigned jobs) {
  KitStep step("compressing " + DisplayPath(input) + " into " + DisplayPath(output));
  std::error_code code;
  if (!fs::is_regular_file(input, code)) {
    return Fail(DisplayPath(input) + (fs::exists(input, code) ? ": not a regular file" : ": no such file"));
  }
  const std::uintmax_t size = fs::file_size(input, code);
  if (code) return Fail(DisplayPath(input) + ": " + code.message());
  if (size > SZDD_MAX_INPUT) {
    return Fail(DisplayPath(input) + ": " + std::to_string(size) +
                " bytes; the compressed format holds at most 2147483647");
  }
  OutputFile out;
  std::string error;
  if (!out.Create(output, error)) return Fail(error);
  auto produce = [&](ByteSink& sink, std::string& why) {
    ProgressBar bar("compressing");
    return StreamFile(input, size, sink, why, bar.Callback());
  };
  // The header records the expanded file's name by its last character.
  const std::string name = DisplayPath(input.filename());
  const PayloadPlan plan = {DisplayPath(output), size, name.empty() ? '_' : name.back(), produce, nullptr,
                            SzddJobs(jobs, size)};
  PayloadFigures figures;
  std::vector<std::string> problems;
  if (!WritePayload(plan, out, figures, problems)) return FailWithProblems("", problems);
  if (!out.Commit(error)) return Fail(error);
  std::printf("%s: %ju bytes from %ju (%s)\n", DisplayPath(output).c_str(), std::uintmax_t{figures.payloadBytes},
              std::uintmax_t{size}, Percent(figures.payloadBytes, size).c_str());
  return 0;
}
