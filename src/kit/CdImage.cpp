// The CD image through libisofs: the files go in by their paths, read while
// the image is written, and the image comes out of libisofs' writer in
// 2048-byte sectors and goes to the sink.
#include "kit/CdImage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

// The image comes out through the burn_source interface, which libisofs'
// header declares in full only for programs that do not use libburn.
#define LIBISOFS_WITHOUT_LIBBURN 1
#include <libisofs/libisofs.h>

namespace {

constexpr int SECTOR = 2048;

// libisofs keeps process-wide state between iso_init and iso_finish.
class LibisofsSession {
 public:
  LibisofsSession() : status_(iso_init()) {
    // Messages are queued for this program to report with its own, never
    // printed by the library.
    if (status_ >= 0)
      iso_set_msgs_severities(const_cast<char*>("SORRY"), const_cast<char*>("NEVER"), const_cast<char*>("kitpack"));
  }
  ~LibisofsSession() {
    if (status_ >= 0) {
      time_t ignored = 0;
      iso_nowtime(&ignored, 2);
      iso_finish();
    }
  }
  LibisofsSession(const LibisofsSession&) = delete;
  LibisofsSession& operator=(const LibisofsSession&) = delete;
  int Status() const { return status_; }

 private:
  int status_;
};

struct ImageUnref {
  void operator()(IsoImage* image) const { iso_image_unref(image); }
};
struct OptsFree {
  void operator()(IsoWriteOpts* opts) const { iso_write_opts_free(opts); }
};
// The writer thread runs until the source is read to its end or cancelled;
// freeing the source waits for it.
struct SourceFree {
  void operator()(burn_source* source) const {
    source->free_data(source);
    std::free(source);
  }
};

// What libisofs says about a failed call: the text of its code, and what it
// queued on the way.
std::string LibisofsProblem(int code) {
  std::string text = iso_error_to_msg(code);
  char message[ISO_MSGS_MESSAGE_LEN];
  char severity[80];
  int queued = 0;
  int image = 0;
  while (iso_obtain_msgs(const_cast<char*>("SORRY"), &queued, &image, message, severity) > 0) {
    if (text.find(message) == std::string::npos) text += std::string("; ") + message;
  }
  return text;
}

// The volume descriptors' dates in the form libisofs copies verbatim,
// "YYYYMMDDhhmmsscc" in UTC, so that neither the clock nor the time zone of
// the machine reaches the image.
std::string VolumeDate(std::int64_t when) {
  const std::int64_t days = when / 86400;
  const int secondOfDay = static_cast<int>(when % 86400);
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  const std::int64_t z = days + 719468;
  const std::int64_t era = z / 146097;
  const std::int64_t dayOfEra = z - era * 146097;
  const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d00", year, month, day, secondOfDay / 3600,
                secondOfDay / 60 % 60, secondOfDay % 60);
  return text;
}

// The image with the files in its root, by their level-1 names. Nodes take
// "now" as their timestamps when they are made, which the caller has made
// the image's time.
IsoImage* ImageOfFiles(const std::vector<CdImageFile>& files, const std::string& label, const std::string& imageName,
                       std::string& error) {
  IsoImage* rawImage = nullptr;
  int status = iso_image_new(label.c_str(), &rawImage);
  if (status < 0) {
    error = imageName + ": cannot start the image: " + LibisofsProblem(status);
    return nullptr;
  }
  std::unique_ptr<IsoImage, ImageUnref> image(rawImage);
  IsoDir* root = iso_image_get_root(image.get());
  for (const CdImageFile& file : files) {
    // libisofs takes a local file by its absolute path; its own dates are
    // replaced by the image's when it is written.
    const std::string local = std::filesystem::absolute(file.local).string();
    status = iso_tree_add_new_node(image.get(), root, file.name.c_str(), local.c_str(), nullptr);
    if (status < 0) {
      error = imageName + ": " + file.name + ": cannot go into the image: " + LibisofsProblem(status);
      return nullptr;
    }
  }
  return image.release();
}

// How the image is written: plain ISO 9660 at level 1, every date `when`.
IsoWriteOpts* WriteOptions(std::int64_t when, const std::string& imageName, std::string& error) {
  IsoWriteOpts* rawOpts = nullptr;
  const int status = iso_write_opts_new(&rawOpts, 0);  // plain ISO 9660, no extensions
  if (status < 0) {
    error = imageName + ": cannot set up the image: " + LibisofsProblem(status);
    return nullptr;
  }
  // Level 1: 8.3 names of upper-case letters, digits and '_', which every
  // system of the kit's time reads, MS-DOS's CD extensions included.
  iso_write_opts_set_iso_level(rawOpts, 1);
  iso_write_opts_set_rockridge(rawOpts, 0);
  iso_write_opts_set_joliet(rawOpts, 0);
  // Every date written as UTC, and every one of them `when`: the volume's
  // creation and modification dates, and each directory record's.
  const time_t now = static_cast<time_t>(when);
  iso_write_opts_set_always_gmt(rawOpts, 1);
  std::string date = VolumeDate(when);
  iso_write_opts_set_pvd_times(rawOpts, now, now, 0, 0, date.data());
  iso_write_opts_set_dir_rec_mtime(rawOpts, 1);
  iso_write_opts_set_replace_timestamps(rawOpts, 2);
  iso_write_opts_set_default_timestamp(rawOpts, now);
  return rawOpts;
}

// Reads the image out of libisofs' writer, a sector at a time, into the sink.
bool CopyImage(burn_source* source, ByteSink& sink, const std::string& imageName, std::string& error,
               const WorkProgress& progress) {
  const std::uint64_t total = static_cast<std::uint64_t>(source->get_size(source));
  std::uint64_t written = 0;
  unsigned char sector[SECTOR];
  for (int got; (got = source->read_xt(source, sector, SECTOR)) > 0;) {
    if (!sink.Write(sector, static_cast<std::size_t>(got), error)) {
      source->cancel(source);
      return false;
    }
    written += static_cast<std::uint64_t>(got);
    if (progress) progress(written, total);
  }
  if (written == total) return true;
  error = imageName + ": the image writer stopped after " + std::to_string(written) + " of " + std::to_string(total) +
          " bytes: " + LibisofsProblem(ISO_WRITE_ERROR);
  return false;
}

}  // namespace

bool CdImageAvailable(std::string&) { return true; }

bool WriteCdImage(const std::vector<CdImageFile>& files, const std::string& label, std::int64_t when, ByteSink& sink,
                  const std::string& imageName, std::string& error, const WorkProgress& progress) {
  LibisofsSession session;
  if (session.Status() < 0) {
    error = imageName + ": cannot start libisofs: " + std::string(iso_error_to_msg(session.Status()));
    return false;
  }
  // It is the image's time before anything is made.
  time_t now = static_cast<time_t>(when);
  iso_nowtime(&now, 1);
  std::unique_ptr<IsoImage, ImageUnref> image(ImageOfFiles(files, label, imageName, error));
  if (!image) return false;
  std::unique_ptr<IsoWriteOpts, OptsFree> opts(WriteOptions(when, imageName, error));
  if (!opts) return false;
  burn_source* rawSource = nullptr;
  const int status = iso_image_create_burn_source(image.get(), opts.get(), &rawSource);
  if (status < 0) {
    error = imageName + ": cannot lay out the image: " + LibisofsProblem(status);
    return false;
  }
  std::unique_ptr<burn_source, SourceFree> source(rawSource);
  return CopyImage(source.get(), sink, imageName, error, progress);
}
