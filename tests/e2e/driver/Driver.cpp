// The end-to-end driver: runs one scenario against SETUP.EXE and reports.
//
//   driver.exe --list                            the scenarios the tests run
//   driver.exe SETUP.EXE SCENARIO [PICTURES_DIR]
//   driver.exe SETUP.EXE tour PICTURES_DIR       pictures of a walk through a medium
//   driver.exe SETUP.EXE time-install DIRECTORY  the install step of the medium here, timed
//   driver.exe SETUP.EXE cd-kit DIRECTORY        the kit folder of the CD scenarios, written
//
// Exit code 0 when the scenario held, 1 with the reason on stderr otherwise.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "Harness.h"
#include "Scenarios.h"
#include "Templates.h"

namespace {

void CheckTemplates(Context& context) {
  for (int id : TemplateIds()) CheckTemplateResource(context.setupExe, id);
}

const Scenario kTemplates = {"templates", CheckTemplates};
const Scenario kTour = {"tour", Tour};
const Scenario kTimeInstall = {"time-install", TimeInstall};
const Scenario kCdKit = {"cd-kit", WriteCdKit};

const Scenario* FindScenario(const char* name) {
  if (std::strcmp(name, kTemplates.name) == 0) return &kTemplates;
  if (std::strcmp(name, kTour.name) == 0) return &kTour;
  if (std::strcmp(name, kTimeInstall.name) == 0) return &kTimeInstall;
  if (std::strcmp(name, kCdKit.name) == 0) return &kCdKit;
  for (const Scenario& s : Scenarios())
    if (std::strcmp(name, s.name) == 0) return &s;
  return nullptr;
}

std::string FullPath(const char* path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? full : path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    std::printf("%s\n", kTemplates.name);
    for (const Scenario& s : Scenarios()) std::printf("%s\n", s.name);
    return 0;
  }
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: driver.exe --list | driver.exe SETUP.EXE SCENARIO [PICTURES_DIR]\n");
    return 2;
  }
  const Scenario* scenario = FindScenario(argv[2]);
  if (!scenario) {
    std::fprintf(stderr, "driver: no scenario named %s\n", argv[2]);
    return 2;
  }
  char workDir[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, workDir);
  Context context{FullPath(argv[1]), workDir, argc == 4 ? FullPath(argv[3]) : std::string()};
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // the log reaches a failing test's output in order
  try {
    scenario->run(context);
  } catch (const Failure&) {
    std::fprintf(stderr, "FAILED %s\n", scenario->name);  // the message was printed where it was found
    return 1;
  }
  std::printf("passed %s\n", scenario->name);
  return 0;
}
