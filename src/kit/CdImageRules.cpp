// The volume label and the timestamp of a CD image: the parts of the image
// that come from the user, checked in every build.
#include <cstring>

#include "base/Ascii.h"
#include "kit/CdImage.h"

namespace {

// The characters a volume identifier may hold (the standard's d-characters).
bool IsLabelCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// 2156-01-01 00:00:00 UTC: a directory record counts years from 1900 in one
// byte, so nothing later has a date in the image.
constexpr std::int64_t CD_TIME_END = 5869584000;

}  // namespace

std::string CdLabelFromName(const std::string& name) {
  std::string label;
  for (char c : name) {
    if (label.size() == CD_LABEL_MAX) break;
    const char upper = AsciiUpper(c);
    label.push_back(IsLabelCharacter(upper) ? upper : '_');
  }
  return label;
}

bool CdLabelFromOption(const std::string& option, std::string& label, std::string& problem) {
  const std::string rule = "a volume label is 1 to 32 characters of A-Z, 0-9 and _";
  if (option.empty() || option.size() > CD_LABEL_MAX) {
    problem = "--label \"" + option + "\": " + rule + "; this one has " + std::to_string(option.size());
    return false;
  }
  label.clear();
  for (char c : option) {
    const char upper = AsciiUpper(c);
    if (!IsLabelCharacter(upper)) {
      problem = "--label \"" + option + "\": " + rule + "; '" + std::string(1, c) + "' is not one of them";
      return false;
    }
    label.push_back(upper);
  }
  return true;
}

bool CdImageTime(const char* sourceDateEpoch, std::int64_t& when, std::string& problem) {
  if (sourceDateEpoch == nullptr || sourceDateEpoch[0] == '\0') {
    when = CD_DEFAULT_TIME;
    return true;
  }
  std::int64_t seconds = 0;
  const std::size_t length = std::strlen(sourceDateEpoch);
  bool valid = length <= 11;  // more digits are past the end of 2155 anyway
  for (std::size_t i = 0; valid && i < length; ++i) {
    const char c = sourceDateEpoch[i];
    valid = c >= '0' && c <= '9';
    seconds = seconds * 10 + (c - '0');
  }
  if (!valid || seconds >= CD_TIME_END) {
    problem = std::string("SOURCE_DATE_EPOCH=\"") + sourceDateEpoch +
              "\": it must be a count of seconds since 1970-01-01 00:00 UTC, from 0 to " +
              std::to_string(CD_TIME_END - 1) + " (the end of 2155, the last year a CD image can date)";
    return false;
  }
  when = seconds;
  return true;
}
