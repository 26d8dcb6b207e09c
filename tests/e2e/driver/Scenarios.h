// The end-to-end scenarios: each starts SETUP.EXE in a fresh working folder
// and plays one road through it.
#pragma once
#include <string>
#include <vector>

struct Context {
  std::string setupExe;  // the program under test
  std::string workDir;   // fresh current directory of this scenario
  std::string picturesDir;  // where pictures go; empty for none
};

struct Scenario {
  const char* name;
  void (*run)(Context&);
};

const std::vector<Scenario>& Scenarios();
