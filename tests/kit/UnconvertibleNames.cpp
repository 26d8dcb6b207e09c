// kitpack.exe's messages about a name that Windows allows and no encoding
// holds: an unpaired surrogate, which the C++ library refuses to convert by
// throwing. Each message must name it by its code units instead. Run under
// Wine, whose file systems cannot hold such a name: the paths name nothing
// there, and each fails, which is what makes the message.
//
//   kit_unconvertible_names      exit status 0 when every message is right
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/ArchiveSource.h"
#include "kit/CodePage.h"
#include "kit/OutputFile.h"
#include "kit/TreeWalk.h"

namespace fs = std::filesystem;

namespace {

int failures = 0;

void Expect(bool holds, const std::string& what, const std::string& message) {
  if (holds) return;
  std::fprintf(stderr, "kit_unconvertible_names: %s: %s\n", what.c_str(), message.c_str());
  ++failures;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

int main() {
  std::wstring folder = L"Z:\\qv-nowhere\\lone";
  folder += static_cast<wchar_t>(0xD800);
  const fs::path tree = folder;
  const fs::path archive = folder + L".vnx";
  bool refused = false;
  try {
    (void)archive.string();
  } catch (...) {
    refused = true;
  }
  Expect(refused, "the fixture", "the C++ library converts the name after all: nothing here shows the fault");

  std::string error;
  OutputFile out;
  Expect(!out.Create(archive, error) && Contains(error, "lone\\uD800.vnx: cannot create"), "an output", error);
  ArchiveSource source;
  error.clear();
  Expect(!source.Open(archive, error) && Contains(error, "lone\\uD800.vnx: no such file"), "an archive", error);
  CodePage codePage;
  Expect(codePage.Open(DEFAULT_CODE_PAGE, error), "the code page", error);
  std::vector<TreeFile> files;
  std::vector<std::string> problems, notes;
  const bool collected = CollectTree(tree, codePage, files, problems, notes);
  Expect(!collected && problems.size() == 1 && Contains(problems[0], "lone\\uD800: not a directory"), "a tree",
         problems.empty() ? "no problem" : problems[0]);
  if (failures == 0) std::printf("kit_unconvertible_names: every message names the path by its code units\n");
  return failures == 0 ? 0 : 1;
}
