// Fuzzes the archive's checks made on its bytes as they are expanded against
// the pass over the archive as a file: the input is a DATA.VNX. Fed in
// pieces of sizes taken from the input, the checks must give the pass's
// verdict and problem on every input. Where they accept the archive, the
// installer's pass that then reads the headers alone must build the very
// index that the pass reading everything builds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "payload/LibraryIndex.h"
#include "payload/LibraryStreamCheck.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "the checks as the archive is expanded differ from the pass: %s\n", what);
    std::abort();
  }
}

// Piece sizes from 1 to 1100, drawn from a generator seeded by the input, so
// that boundaries fall in every field: the header, entry headers, names and
// data alike.
std::size_t NextPiece(std::uint32_t& state) {
  state = state * 1103515245u + 12345u;
  return 1 + (state >> 16) % 1100;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The directory's length decides which names fit, and the code page how
  // their bytes read: take both from the input.
  static const unsigned CODE_PAGES[] = {1252, 932, 949, 950};
  const NameTarget target = {size > 0 ? data[0] % 64u : 10u, size > 0 ? CODE_PAGES[data[0] / 64] : 1252u};

  LibraryStreamCheck stream;
  LibraryStreamBegin(stream, target);
  std::uint32_t state = static_cast<std::uint32_t>(size) ^ (size > 1 ? data[1] * 2654435761u : 0u);
  for (std::size_t at = 0; at < size;) {
    std::size_t piece = NextPiece(state);
    if (piece > size - at) piece = size - at;
    LibraryStreamFeed(stream, data + at, piece);
    at += piece;
  }
  const IndexResult streamed = LibraryStreamEnd(stream);

  std::FILE* file = std::tmpfile();
  if (file == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, file);
  std::fflush(file);
  LibraryIndex whole;
  const IndexResult read = IndexLibrary(file, target, whole, DataCrcs::Check);
  Check(streamed == read, "another verdict");
  if (read != IndexResult::Ok) {
    Check(stream.problem != nullptr && std::strcmp(stream.problem, whole.Problem()) == 0, "another problem");
    std::fclose(file);
    return 0;
  }

  LibraryIndex headers;
  const IndexResult skipped = IndexLibrary(file, target, headers, DataCrcs::Skip);
  std::fclose(file);
  Check(skipped == IndexResult::Ok, "the pass over the headers refuses what the checks accepted");
  Check(headers.Count() == whole.Count() && headers.Checked() == whole.Checked(), "another count");
  for (std::size_t i = 0; i < whole.Count(); ++i) {
    Check(headers[i].dataOffset == whole[i].dataOffset && headers[i].size == whole[i].size &&
              headers[i].source == whole[i].source && std::strcmp(headers.Name(i), whole.Name(i)) == 0,
          "another entry in the index");
  }
  return 0;
}
