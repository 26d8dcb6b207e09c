#include "kit/ArchiveSource.h"

#include <system_error>

#include "kit/CommandOutput.h"
#include "kit/KitFiles.h"
#include "kit/KitStep.h"
#include "kit/PathDisplay.h"
#include "kit/ProgressBar.h"
#include "kit/SystemIo.h"

bool ArchiveSource::Open(const std::filesystem::path& path, std::string& error) {
  reader_.reset();
  payload_.reset();
  path_ = path;
  std::error_code code;
  if (!std::filesystem::exists(path, code)) {
    error = DisplayPath(path) + ": no such file";
    return false;
  }
  // A pipe or a device would block the first read or never end.
  if (!std::filesystem::is_regular_file(path, code)) {
    error = DisplayPath(path) + ": not a regular file";
    return false;
  }
  if (!IsSzdd(path)) return file_.Open(path, error);
  payload_.reset(OpenForReading(path));
  if (!payload_) {
    error = DisplayPath(path) + ": cannot open: " + SystemError();
    return false;
  }
  auto reader = std::make_unique<SzddReader>();
  std::string why;
  if (!reader->Open(payload_.get(), why)) {
    error = DisplayPath(path) + ": the compressed payload does not expand: " + why;
    return false;
  }
  reader_ = std::move(reader);
  ExpandedArchiveBegin(expanded_, *reader_);
  return true;
}

bool ArchiveSource::Finish(std::string& error) {
  if (!reader_) return true;
  std::string why;
  ExpandedArchiveDrain(expanded_);
  if (reader_->Finish(why)) return true;
  error = DisplayPath(path_) + ": the compressed payload does not expand: " + why;
  return false;
}

bool OpenAndVerify(const std::filesystem::path& file, const CodePage& codePage, ArchiveSource& source,
                   LibraryCheck& check) {
  KitStep step("verifying " + DisplayPath(file));
  std::string error;
  if (!source.Open(file, error)) return Refuse(error);
  bool holds = false;
  {
    ProgressBar bar("verifying");
    holds = VerifyLibrary(source.Input(), codePage, check, bar.Callback());
  }
  if (!source.Finish(error)) return Refuse(error);
  if (!holds) FailWithProblems(DisplayPath(file) + ": ", check.problems);
  return holds;
}
