#include "kit/CarriedSetup.h"

#include <zlib.h>

#include <cstddef>
#include <cstdio>

#include "kit/KitFiles.h"

// The stripped 32-bit SETUP.EXE, written into a source file when kitpack is
// built.
extern const unsigned char CARRIED_SETUP[];
extern const std::size_t CARRIED_SETUP_SIZE;

namespace {

// Every Windows program starts with the DOS header's signature; a file that
// does not would give a medium that cannot start.
bool IsWindowsProgram(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
}

}  // namespace

bool ReadSetupProgram(const std::filesystem::path& named, std::vector<std::uint8_t>& bytes, std::string& error) {
  if (named.empty()) {
    bytes.assign(CARRIED_SETUP, CARRIED_SETUP + CARRIED_SETUP_SIZE);
    return true;
  }
  if (!ReadWholeFile(named, bytes, error)) return false;
  if (IsWindowsProgram(bytes)) return true;
  error = named.string() + ": not a Windows program (no MZ header), so no setup program for a medium";
  return false;
}

std::string VersionText() {
  // zlib's CRC-32, as zip, gzip and the crc32 tool compute it.
  const unsigned long crc = crc32(crc32(0L, Z_NULL, 0), CARRIED_SETUP, static_cast<uInt>(CARRIED_SETUP_SIZE));
  char text[160];
  std::snprintf(text, sizeof text, "kitpack %s\nSETUP.EXE carried: %zu bytes, CRC-32 %08lx\n", KITPACK_VERSION,
                CARRIED_SETUP_SIZE, crc);
  return text;
}
