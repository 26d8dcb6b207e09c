// The setup medium as a CD image: an ISO 9660 file system whose root holds
// the medium's files under level-1 (8.3) names, with a volume label and
// timestamps fixed by the caller, so that the same medium always gives the
// same bytes. Emulators and virtual machines take such a file as a CD.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/LibraryWriter.h"

struct CdImageFile {
  std::string name;             // a level-1 name: SETUP.EXE, DATA.CMP, ...
  std::filesystem::path local;  // the file whose bytes it gets, read while the image is written
};

// False, with the reason, in a build that has no image writer: one made
// without libisofs, such as the Windows build.
bool CdImageAvailable(std::string& why);

// Writes the image of the files, in the root directory in name order, to the
// sink. Every timestamp of the image, of the volume and of each file, is
// `when` (seconds since 1970-01-01 00:00 UTC, as CdImageTime gives it),
// written as UTC. False, with a message, when the image cannot be made (named
// `imageName` there) or the sink refuses its bytes (the sink's own message).
bool WriteCdImage(const std::vector<CdImageFile>& files, const std::string& label, std::int64_t when, ByteSink& sink,
                  const std::string& imageName, std::string& error, const WorkProgress& progress = {});

// ---- what goes into the image's descriptors ------------------------------

// The longest volume label: the volume identifier's 32 characters.
constexpr std::size_t CD_LABEL_MAX = 32;

// The label made from a folder's name: upper-cased, every character other
// than A-Z, 0-9 and '_' replaced by '_', cut to 32 characters. Empty when
// the name is.
std::string CdLabelFromName(const std::string& name);

// A label given by the user, upper-cased. False, with the reason, when it is
// empty, longer than 32 characters, or holds a character other than A-Z,
// 0-9 and '_' (after upper-casing).
bool CdLabelFromOption(const std::string& option, std::string& label, std::string& problem);

// The image's timestamp when SOURCE_DATE_EPOCH is not set (or empty):
// 1998-01-01 00:00:00 UTC.
constexpr std::int64_t CD_DEFAULT_TIME = 883612800;

// The image's timestamp from the value of SOURCE_DATE_EPOCH (null when it is
// not set): a decimal count of seconds since 1970 that the image's dates can
// hold, up to the end of 2155. False, with the reason, for anything else.
bool CdImageTime(const char* sourceDateEpoch, std::int64_t& when, std::string& problem);
