// The end-to-end scenarios: each starts SETUP.EXE in a fresh working folder
// and plays one road through it.
#pragma once
#include <string>
#include <vector>

struct Context {
  std::string setupExe;     // the program under test
  std::string workDir;      // fresh current directory of this scenario
  std::string picturesDir;  // where pictures go; empty for none
};

struct Scenario {
  const char* name;
  void (*run)(Context&);
};

// The scenarios that the tests run: all of them, and each file's own.
const std::vector<Scenario>& Scenarios();
const std::vector<Scenario>& WizardScenarios();
const std::vector<Scenario>& InstallScenarios();
const std::vector<Scenario>& IntegrationScenarios();
const std::vector<Scenario>& CodePageScenarios();
const std::vector<Scenario>& LibraryScenarios();

// A walk through a real medium that pictures every window; no test of its own.
void Tour(Context& context);

// For with-cd-drive.sh: writes the kit folder of the CD scenarios into the
// directory given (in picturesDir's place), for kitpack to make the image of.
void WriteCdKit(Context& context);

// For the benchmark: installs the medium in the current directory into the
// directory given (in picturesDir's place) and prints how long the install
// step took, from Next on page 5 to page 7.
void TimeInstall(Context& context);
