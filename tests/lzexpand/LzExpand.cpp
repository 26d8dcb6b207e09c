// Expands SZDD files with the platform's LZ expansion library the way the
// installer does: OpenFile and LZInit for the source, LZOpenFile for the
// destination, then LZRead in chunks of 64000 bytes and _lwrite until a
// short read.
//
//   lzexpand IN OUT [IN OUT ...]
// Exit status 0 when every read succeeded, 1 otherwise.
#include <windows.h>
// lzexpand.h needs the types of windows.h first.
#include <lzexpand.h>

#include <cstdio>
#include <memory>

#include "base/Transfer.h"

namespace {

bool Expand(const char* in, char* out) {
  OFSTRUCT sourceInfo = {};
  OFSTRUCT destinationInfo = {};
  const HFILE source = OpenFile(in, &sourceInfo, OF_READ);
  const INT expansion = LZInit(source);
  const INT destination = LZOpenFileA(out, &destinationInfo, OF_CREATE);
  if (expansion < 0 || destination < 0) {
    std::fprintf(stderr, "lzexpand: cannot open %s or create %s\n", in, out);
    if (expansion >= 0) LZClose(expansion);
    if (destination >= 0) LZClose(destination);
    return false;
  }
  std::unique_ptr<char[]> buffer(new char[TRANSFER_CHUNK]);
  bool ok = true;
  for (;;) {
    const INT n = LZRead(expansion, buffer.get(), TRANSFER_CHUNK);
    if (n < 0) {
      std::fprintf(stderr, "lzexpand: LZRead failed on %s (%d)\n", in, n);
      ok = false;
      break;
    }
    if (n > 0 && _lwrite(destination, buffer.get(), static_cast<UINT>(n)) != static_cast<UINT>(n)) {
      std::fprintf(stderr, "lzexpand: cannot write %s\n", out);
      ok = false;
      break;
    }
    if (n < TRANSFER_CHUNK) break;
  }
  LZClose(expansion);
  LZClose(destination);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 == 0) {
    std::fprintf(stderr, "usage: lzexpand IN OUT [IN OUT ...]\n");
    return 2;
  }
  bool ok = true;
  for (int i = 1; i + 1 < argc; i += 2) ok = Expand(argv[i], argv[i + 1]) && ok;
  return ok ? 0 : 1;
}
