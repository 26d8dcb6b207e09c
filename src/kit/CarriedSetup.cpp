#include "kit/CarriedSetup.h"

#include <zlib.h>

#include <cstddef>
#include <cstdio>

// The stripped 32-bit SETUP.EXE, written into a source file when kitpack is
// built.
extern const unsigned char CARRIED_SETUP[];
extern const std::size_t CARRIED_SETUP_SIZE;

SetupProgram ChooseSetupProgram(const std::filesystem::path& named) {
  SetupProgram program;
  program.file = named;
  if (named.empty()) program.bytes.assign(CARRIED_SETUP, CARRIED_SETUP + CARRIED_SETUP_SIZE);
  return program;
}

std::string VersionText() {
  // zlib's CRC-32, as zip, gzip and the crc32 tool compute it.
  const unsigned long crc = crc32(crc32(0L, Z_NULL, 0), CARRIED_SETUP, static_cast<uInt>(CARRIED_SETUP_SIZE));
  char text[160];
  std::snprintf(text, sizeof text, "kitpack %s\nSETUP.EXE carried: %zu bytes, CRC-32 %08lx\n", KITPACK_VERSION,
                CARRIED_SETUP_SIZE, crc);
  return text;
}
