// image: the setup medium as an ISO 9660 CD image in one file. The medium's
// files are written beside the image under temporary names, as medium
// writes them, go into the image from there, and are removed again.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "kit/CarriedSetup.h"
#include "kit/CdImage.h"
#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/KitFiles.h"
#include "kit/KitStep.h"
#include "kit/MediumFiles.h"
#include "kit/PathDisplay.h"
#include "kit/ProgressBar.h"

namespace fs = std::filesystem;

namespace {

// The volume label and the image's time, checked before the kit is packed,
// which takes a while for a large one.
bool ImageSettings(const fs::path& kit, const std::string& labelOption, std::string& label, std::int64_t& when) {
  std::string problem;
  if (!labelOption.empty()) {
    if (!CdLabelFromOption(labelOption, label, problem)) return Refuse(problem);
  } else {
    KitStep step("taking the volume label from the kit folder's name");
    std::error_code code;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(kit), code);
    label = CdLabelFromName(DisplayPath((code ? kit : absolute).filename()));
    if (label.empty())
      return Refuse(DisplayPath(kit) + ": the kit folder has no name to make a volume label of; give --label");
  }
  return CdImageTime(std::getenv("SOURCE_DATE_EPOCH"), when, problem) || Refuse(problem);
}

// Writes the image of the medium's files to out.
bool WriteImage(const Medium& medium, const std::string& label, std::int64_t when, const fs::path& image,
                OutputFile& out) {
  std::vector<CdImageFile> files;
  for (const MediumFile& file : medium.files) files.push_back({file.name, file.output->TemporaryPath()});
  OutputSink sink(out);
  std::string error;
  ProgressBar bar("writing the image");
  for (const MediumFile& file : medium.files) {
    if (!file.output->Flush(error)) return Refuse(error);
  }
  return WriteCdImage(files, label, when, sink, DisplayPath(image), error, bar.Callback()) || Refuse(error);
}

}  // namespace

int ImageCommand(const fs::path& kit, const fs::path& image, const fs::path& setup, const std::string& labelOption,
                 const CodePage& codePage, unsigned jobs) {
  std::string error;
  if (!CdImageAvailable(error)) return Fail(DisplayPath(image) + ": " + error);
  std::string label;
  std::int64_t when = 0;
  MediumSource source;
  if (!ImageSettings(kit, labelOption, label, when)) return 1;
  if (!ReadMedium(kit, ChooseSetupProgram(setup), codePage, source)) return 1;
  KitStep step("writing the image " + DisplayPath(image));
  OutputFile out;
  if (!out.Create(image, error)) return Fail(error);
  Medium medium;
  const fs::path folder = image.parent_path();
  if (!WriteMedium(source, folder, DisplayPath(image) + ": " + MEDIUM_PAYLOAD, codePage, jobs, medium) ||
      !WriteImage(medium, label, when, image, out)) {
    return 1;
  }
  if (!out.Commit(error)) return Fail(error);
  for (const std::string& report : medium.textReports) std::printf("%s\n", report.c_str());
  std::error_code code;
  const std::uintmax_t size = fs::file_size(image, code);
  std::printf("%s: CD image \"%s\", %ju bytes: %zu entries, archive %" PRIu64 " bytes, %s %" PRIu64 " bytes (%s)\n",
              DisplayPath(image).c_str(), label.c_str(), code ? std::uintmax_t{0} : size, medium.entries,
              medium.payload.plainBytes, MEDIUM_PAYLOAD, medium.payload.payloadBytes,
              Percent(medium.payload.payloadBytes, medium.payload.plainBytes).c_str());
  return 0;
}
