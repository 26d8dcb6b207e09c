// medium: a setup medium written into a folder from a kit folder.
#include <cinttypes>
#include <cstdio>

#include "kit/CarriedSetup.h"
#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/KitStep.h"
#include "kit/MediumFiles.h"
#include "kit/PathDisplay.h"

int MediumCommand(const std::filesystem::path& kit, const std::filesystem::path& outDir,
                  const std::filesystem::path& setup, const CodePage& codePage, unsigned jobs) {
  MediumSource source;
  if (!ReadMedium(kit, ChooseSetupProgram(setup), codePage, source)) return 1;
  KitStep step("writing the medium " + DisplayPath(outDir));
  // Every file goes out under a temporary name first, and is renamed into
  // place only when all of them have been written and checked.
  OutputFolder folder;
  std::string error;
  if (!folder.Create(outDir, error)) return Fail(error);
  Medium medium;
  if (!WriteMedium(source, outDir, DisplayPath(outDir / MEDIUM_PAYLOAD), codePage, jobs, medium)) return 1;
  if (!CommitMedium(medium, error)) return Fail(error);
  folder.Keep();
  for (const std::string& report : medium.textReports) std::printf("%s\n", report.c_str());
  std::printf("%s: %zu entries, archive %" PRIu64 " bytes, %s %" PRIu64 " bytes (%s)\n", DisplayPath(outDir).c_str(),
              medium.entries, medium.payload.plainBytes, MEDIUM_PAYLOAD, medium.payload.payloadBytes,
              Percent(medium.payload.payloadBytes, medium.payload.plainBytes).c_str());
  return 0;
}
