// pack: the tree written into a library archive as its files are read.
#include <cinttypes>
#include <cstdio>

#include "kit/CommandOutput.h"
#include "kit/KitCommands.h"
#include "kit/KitFiles.h"
#include "kit/KitStep.h"
#include "kit/PathDisplay.h"
#include "kit/ProgressBar.h"
#include "kit/TreeWalk.h"

int PackCommand(const std::filesystem::path& tree, const std::filesystem::path& output, const CodePage& codePage) {
  KitStep step("packing " + DisplayPath(tree) + " into " + DisplayPath(output));
  std::vector<TreeFile> files;
  std::vector<std::string> problems;
  std::vector<std::string> notes;
  bool collected = CollectTree(tree, codePage, files, problems, notes);
  for (const std::string& note : notes) Note(note);
  if (!collected) return FailWithProblems("", problems);

  OutputFile out;
  OutputSink sink(out);
  std::string error;
  if (!out.Create(output, error)) return Fail(error);
  {
    ProgressBar bar("packing");
    if (!WriteLibrary(files, sink, error, bar.Callback())) return Fail(error);
  }
  if (!out.Commit(error)) return Fail(error);
  std::printf("%s: %zu entries, %" PRIu64 " bytes\n", DisplayPath(output).c_str(), files.size(), LibrarySize(files));
  return 0;
}
