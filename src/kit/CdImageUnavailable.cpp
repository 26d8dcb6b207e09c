// The CD image in a build without libisofs, the library that writes it: the
// Windows build, for which Debian has none. The image command says so
// instead of writing anything.
#include "kit/CdImage.h"

namespace {

const char WHY[] =
    "this kitpack cannot write CD images: it was built without libisofs; make the image with a kitpack built on "
    "Linux";

}  // namespace

bool CdImageAvailable(std::string& why) {
  why = WHY;
  return false;
}

bool WriteCdImage(const std::vector<CdImageFile>&, const std::string&, std::int64_t, ByteSink&,
                  const std::string& imageName, std::string& error, const WorkProgress&) {
  error = imageName + ": " + WHY;
  return false;
}
