// The install step under Wine: the payload expanded by the platform's LZ
// library, the archive checked and extracted, the bar driven by the
// progress protocol; media cut short, damaged and hostile; a full disk.
#include <windows.h>
// lzexpand.h needs the types of windows.h first.
#include <lzexpand.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../../payload/ArchiveBytes.h"
#include "Harness.h"
#include "Inject.h"
#include "Probe.h"
#include "ScenarioKit.h"
#include "Scenarios.h"

namespace {

const char PROBLEM_ON_DECOMPRESSION[] = "Problem on decompression";
const char CANNOT_OPEN_LIBRARY[] = "Cannot open uncompressed library.";
const char CANNOT_EXTRACT[] = "Cannot extract file";
const char NO_DECOMPRESS_BUFFER[] = "Out of Memory (Decompress Buffer)";

constexpr int CHUNK = 64000;
constexpr std::uint64_t EXPANSION_RANGE = 187u << 16;  // lParam of 0 to 187

// ---- one installation, followed to its end -------------------------------

struct InstallOptions {
  std::string currentDirectory;               // the program's; the driver's when empty
  std::string exe;                            // the program; the one under test when empty
  bool probe = true;                          // record the progress protocol
  std::function<void(SetupRun&)> beforeNext;  // last thing done on page 5
  DWORD limitMs = WAIT_LIMIT_MS;              // for the install step to end
};

struct InstallRun {
  bool completed = false;  // page 7, answered No, and the completion notice
  std::string fatal;       // or the text of the fatal box that ended it
  std::vector<ProgressPhase> phases;
};

// Walks to page 5 with the directory and presses Next. The install step
// then ends either on page 7, which is answered No and followed to the
// completion notice, or with the fatal box, which is acknowledged; either
// way the program must end with exit code 0 and repaint the desktop.
InstallRun Install(const Context& context, const std::string& directory, const InstallOptions& options = {}) {
  RepaintSentinel sentinel;
  SetupRun run(options.exe.empty() ? context.setupExe : options.exe, SW_SHOWNORMAL, options.currentDirectory);
  HWND page = run.ExpectPage(101, "the start");
  std::unique_ptr<ProgressProbe> probe;
  if (options.probe) probe = std::make_unique<ProgressProbe>(run);
  const int order[] = {101, 102, 103, 104, 105};
  for (int i = 0; order[i] != 105; ++i) {
    if (order[i] == 104) run.Type(page, FIELD, directory);
    run.Click(page, NEXT);
    page = run.ExpectPage(order[i + 1], "Next on page " + std::to_string(order[i]));
  }
  if (options.beforeNext) options.beforeNext(run);
  run.Click(page, NEXT);

  InstallRun outcome;
  const Screen screen = run.Next("Next on page 5, through the install step", options.limitMs);
  if (screen.kind == ScreenKind::Page && screen.page == 107) {
    outcome.completed = true;
    if (probe) outcome.phases = probe->Phases(true);
    run.Click(screen.window, BACK);
    ExpectCompletionNotice(run, sentinel, "No on page 7");
    return outcome;
  }
  Expect(screen.kind == ScreenKind::MessageBox, "the install step ended in %s", Describe(screen).c_str());
  MessageBoxView box = run.ReadBox(screen);
  Expect(box.caption == "Fatal Error" && box.icon == BoxIcon::Error,
         "the install step ended in a box \"%s\" with %s saying \"%s\"", box.caption.c_str(), IconName(box.icon),
         Printable(box.text).c_str());
  outcome.fatal = box.text;
  // The records of a run that stopped: taken before the program ends.
  if (probe) outcome.phases = probe->Phases(false);
  sentinel.Arm();
  run.Acknowledge(box);
  const DWORD code = run.ExpectExit("OK on the fatal box");
  Expect(code == 0, "the program ended with exit code %lu, not 0", code);
  sentinel.ExpectRepainted("the fatal box");
  return outcome;
}

void ExpectFatalRun(const InstallRun& run, const char* message, const std::string& what) {
  Expect(!run.completed, "%s: the installation completed", what.c_str());
  Expect(run.fatal == message, "%s: the fatal box says \"%s\", expected \"%s\"", what.c_str(), run.fatal.c_str(),
         message);
}

// How many reads of 64000 bytes the expansion makes: full ones, then one
// shorter (or empty) that ends the data.
int ReadsFor(std::size_t expanded) { return static_cast<int>(expanded / CHUNK) + 1; }

// The bar stepped once per unit from 0 to the range's maximum, one pump
// after each step.
void ExpectPhase(const ProgressPhase& phase, std::uint64_t range, int steps, const char* what) {
  Expect(phase.range == range, "%s: the range was set with 0x%llx, expected 0x%llx", what,
         static_cast<unsigned long long>(phase.range), static_cast<unsigned long long>(range));
  Expect(static_cast<int>(phase.positions.size()) == steps, "%s: the bar stepped %zu times, expected %d", what,
         phase.positions.size(), steps);
  const int high = static_cast<int>(range >> 16);
  Expect(phase.startHigh == high, "%s: the bar's range ends at %d, expected %d", what, phase.startHigh, high);
  Expect(steps == 0 || phase.lastPainted, "%s: the bar was not shown at its last step", what);
  for (int i = 0; i < steps && i < high; ++i) {
    Expect(phase.positions[i] == i + 1 && phase.highs[i] == high, "%s: after step %d the bar stood at %d of %d", what,
           i + 1, phase.positions[i], phase.highs[i]);
  }
}

void ExpectBothPhases(const InstallRun& run, std::size_t expanded, std::size_t entries, const std::string& what) {
  Expect(run.completed, "%s: the installation did not complete but said \"%s\"", what.c_str(), run.fatal.c_str());
  Expect(run.phases.size() == 2, "%s: the bar ran %zu times, expected twice", what.c_str(), run.phases.size());
  ExpectPhase(run.phases[0], EXPANSION_RANGE, ReadsFor(expanded), (what + ", the expansion").c_str());
  ExpectPhase(run.phases[1], static_cast<std::uint64_t>(entries & 0xFFFF) << 16, static_cast<int>(entries),
              (what + ", the extraction").c_str());
}

// ---- media ---------------------------------------------------------------

// Bytes that compress somewhat, different for every seed.
std::string Pattern(std::size_t size, unsigned seed) {
  std::string data(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    data[i] = static_cast<char>((x >> 16) % 23 + 'A');
  }
  return data;
}

// A kit whose archive is exactly the size given: one file takes what the
// headers leave over.
Kit KitOfArchiveSize(std::size_t archiveSize) {
  const std::size_t overhead = LIBRARY_HEADER_SIZE + LIBRARY_ENTRY_HEADER_SIZE;
  if (archiveSize < overhead) return {};
  return {{"DATA\\PAYLOAD.BIN", Pattern(archiveSize - overhead, static_cast<unsigned>(archiveSize))}};
}

// Writes the payload of the archive into the folder, with the documents.
void WriteRawMedium(const std::string& dir, const std::string& payload) {
  WriteDocuments(dir);
  WriteBytes(dir + "\\DATA.CMP", payload);
}

// What the platform's LZ library gives for the file, the way the installer
// reads it; false when a read fails.
bool ExpandWithLz32(const std::string& path, std::string& out) {
  out.clear();
  OFSTRUCT info = {};
  const HFILE source = OpenFile(path.c_str(), &info, OF_READ);
  const INT expansion = LZInit(source);
  if (expansion < 0) {
    if (source != HFILE_ERROR) _lclose(source);
    return false;
  }
  std::string chunk(CHUNK, '\0');
  bool ok = true;
  for (;;) {
    const INT n = LZRead(expansion, chunk.data(), CHUNK);
    if (n < 0) {
      ok = false;
      break;
    }
    out.append(chunk.data(), static_cast<std::size_t>(n));
    if (n < CHUNK) break;
  }
  LZClose(expansion);
  return ok;
}

// The folder holds nothing but what is listed.
void ExpectOnly(const std::string& dir, const std::vector<std::string>& names, const std::string& what) {
  std::vector<std::string> found;
  for (const TreeItem& item : ReadTree(dir)) found.push_back(item.path);
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  std::string list;
  for (const std::string& f : found) list += " " + f;
  Expect(found == expected, "%s: %s holds%s", what.c_str(), dir.c_str(), list.empty() ? " nothing" : list.c_str());
}

// ---- the scenarios -------------------------------------------------------

// A whole installation of a medium with several directories: the tree
// byte for byte, the archive gone, both runs of the bar.
void InstallWhole(Context& context) {
  Kit kit = SmallKit();
  for (int i = 0; i < 40; ++i) {
    kit.push_back({"LIB\\PART" + std::to_string(i % 3) + "\\M" + std::to_string(i) + ".OBJ",
                   Pattern(static_cast<std::size_t>(i) * 3001, static_cast<unsigned>(i))});
  }
  kit.push_back({"BIN\\QCC.EXE", Pattern(300000, 99)});
  WriteMedium(context.workDir, kit);
  const std::string archive = PackArchive(kit);
  const InstallRun run = Install(context, KitDir(context));
  ExpectBothPhases(run, archive.size(), kit.size(), "a whole installation");
  ExpectInstalledTree(KitDir(context), kit, "after the installation");
}

// Expanded sizes around the chunk and the bar's constant range.
void PayloadSizes(Context& context) {
  struct {
    const char* why;
    std::size_t archiveSize;
  } sizes[] = {
      {"under one chunk", 30000},
      {"exactly one chunk: a last read of nothing", CHUNK},
      {"a multiple of the chunk", 3 * CHUNK},
      {"186 full chunks and a shorter last one: the bar ends full", 186u * CHUNK + 1000},
      {"188 reads: the range stays 187", 187u * CHUNK + 500},
  };
  for (const auto& size : sizes) {
    RemoveTree(KitDir(context));
    const Kit kit = KitOfArchiveSize(size.archiveSize);
    Expect(PackArchive(kit).size() == size.archiveSize, "the kit's archive is not %zu bytes", size.archiveSize);
    WriteMedium(context.workDir, kit);
    std::printf("payload of %zu bytes: %s\n", size.archiveSize, size.why);
    const InstallRun run = Install(context, KitDir(context));
    ExpectBothPhases(run, size.archiveSize, kit.size(), size.why);
    ExpectInstalledTree(KitDir(context), kit, size.why);
  }

  // An empty payload expands to an empty archive, which has no header.
  RemoveTree(KitDir(context));
  WriteRawMedium(context.workDir, CompressPayload(""));
  const InstallRun empty = Install(context, KitDir(context));
  ExpectFatalRun(empty, CANNOT_OPEN_LIBRARY, "an empty payload");
  Expect(empty.phases.size() == 1, "an empty payload ran the bar %zu times", empty.phases.size());
  ExpectPhase(empty.phases[0], EXPANSION_RANGE, 1, "an empty payload");
}

void PayloadMissing(Context& context) {
  WriteDocuments(context.workDir);
  const InstallRun run = Install(context, KitDir(context));
  ExpectFatalRun(run, PROBLEM_ON_DECOMPRESSION, "no DATA.CMP");
  ExpectOnly(KitDir(context), {"DATA.VNX"}, "without a payload");
  Expect(ReadBytes(KitDir(context) + "\\DATA.VNX").empty(), "the archive left behind is not empty");
}

// The program's own folder comes first in the search for DATA.CMP, even
// when the current directory holds another.
void PayloadBesideTheProgram(Context& context) {
  const std::string programDir = context.workDir + "\\PROGRAM";
  CreateDirectoryA(programDir.c_str(), nullptr);
  Expect(CopyFileA(context.setupExe.c_str(), (programDir + "\\SETUP.EXE").c_str(), FALSE) != FALSE,
         "cannot copy SETUP.EXE beside its medium");
  Kit beside = {{"FROM\\PROGRAM.TXT", "the program's own folder"}};
  Kit current = {{"FROM\\CURRENT.TXT", "the current directory"}};
  WriteBytes(programDir + "\\DATA.CMP", CompressPayload(PackArchive(beside)));
  WriteMedium(context.workDir, current);
  InstallOptions options;
  options.exe = programDir + "\\SETUP.EXE";
  const InstallRun run = Install(context, KitDir(context), options);
  Expect(run.completed, "the installation said \"%s\"", run.fatal.c_str());
  ExpectInstalledTree(KitDir(context), beside, "with DATA.CMP beside the program");

  // Without one beside the program, the current directory's is found.
  DeleteFileA((programDir + "\\DATA.CMP").c_str());
  RemoveTree(KitDir(context));
  const InstallRun second = Install(context, KitDir(context), options);
  Expect(second.completed, "the installation said \"%s\"", second.fatal.c_str());
  ExpectInstalledTree(KitDir(context), current, "with DATA.CMP in the current directory only");
}

// A longer archive from an earlier run is emptied and written anew.
void ArchiveOverwritten(Context& context) {
  WriteMedium(context.workDir);
  CreateDirectoryA(KitDir(context).c_str(), nullptr);
  WriteBytes(KitDir(context) + "\\DATA.VNX", std::string(2000000, 'o'));
  const InstallRun run = Install(context, KitDir(context));
  ExpectBothPhases(run, PackArchive(SmallKit()).size(), SmallKit().size(), "over an older DATA.VNX");
  ExpectInstalledTree(KitDir(context), SmallKit(), "over an older DATA.VNX");
}

// The step makes one level only: without its parent the directory is not
// there, the archive cannot be written into it, and the whole payload is
// still read before the archive is missed.
void OnlyOneLevelIsCreated(Context& context) {
  WriteMedium(context.workDir);
  const InstallRun run = Install(context, context.workDir + "\\OUTER\\INNER");
  ExpectFatalRun(run, CANNOT_OPEN_LIBRARY, "a directory whose parent does not exist");
  Expect(!IsDirectory(context.workDir + "\\OUTER"), "the install step created a missing parent directory");
  Expect(run.phases.size() == 1, "the bar ran %zu times", run.phases.size());
  ExpectPhase(run.phases[0], EXPANSION_RANGE, ReadsFor(PackArchive(SmallKit()).size()), "the expansion");
}

// 300 characters typed: the first 258 are the directory, which Windows does
// not create, being longer than 247; its archive's path would not fit 260
// bytes either, so nothing is expanded.
void LongDirectoryField(Context& context) {
  WriteMedium(context.workDir);
  std::string taken = context.workDir + "\\";
  taken += std::string(258 - taken.size(), 'L');
  const std::string typed = taken + std::string(300 - taken.size(), 'X');
  const InstallRun run = Install(context, typed);
  ExpectFatalRun(run, CANNOT_OPEN_LIBRARY, "a directory of 258 characters");
  Expect(!IsDirectory(taken) && !IsDirectory(taken + "X"), "a directory longer than 247 characters was created");
  Expect(run.phases.empty(), "the bar was set up although nothing could be expanded");
}

// Windows creates no directory whose path is longer than 247 characters
// (the harness's CreateDirectoryA refuses it as Windows does). An
// installation directory of 247 installs, with names that fit below it; one
// of 248 to 250 is not created, so the archive cannot be written into it:
// the whole payload is still read, then the extraction finds no archive and
// nothing is installed. From 251 on the archive's path would not fit its 260
// bytes, and nothing is expanded.
void LongestDirectory(Context& context) {
  const Kit kit = {{"A.TXT", "a"}, {"B.TXT", "b"}};
  const std::string archive = PackArchive(kit);
  WriteMedium(context.workDir, kit);
  std::string longest = context.workDir + "\\";
  longest += std::string(247 - longest.size(), 'L');
  const InstallRun run = Install(context, longest);
  ExpectBothPhases(run, archive.size(), kit.size(), "a directory of 247 characters");
  ExpectInstalledTree(longest, kit, "a directory of 247 characters");

  for (const char* extra : {"M", "MMM"}) {
    const std::string tooLong = longest + extra;
    const std::string what = "a directory of " + std::to_string(tooLong.size()) + " characters";
    const InstallRun refused = Install(context, tooLong);
    ExpectFatalRun(refused, CANNOT_OPEN_LIBRARY, what);
    Expect(!IsDirectory(tooLong), "%s: the directory was created", what.c_str());
    Expect(refused.phases.size() == 1, "%s: the bar ran %zu times", what.c_str(), refused.phases.size());
    ExpectPhase(refused.phases[0], EXPANSION_RANGE, ReadsFor(archive.size()), (what + ", the expansion").c_str());
  }
  const std::string beyond = longest + "MMMM";
  const InstallRun refused = Install(context, beyond);
  ExpectFatalRun(refused, CANNOT_OPEN_LIBRARY, "a directory of 251 characters");
  Expect(refused.phases.empty(), "the bar was set up although nothing could be expanded");
  Expect(!IsDirectory(beyond), "the 251-character directory was created");
}

// An empty field: the archive and the kit go to the root of the current
// drive, which here is a drive of the scenario's own.
void EmptyDirectoryField(Context& context) {
  const std::string root = "T:\\";
  Expect(IsDirectory(root), "the scenario's drive T: is not mapped (run it through run-scenario.sh)");
  Expect(ReadTree(root).empty(), "the scenario's drive T: is not empty at the start");
  const std::string medium = root + "MEDIUM";
  CreateDirectoryA(medium.c_str(), nullptr);
  WriteMedium(medium);
  RemoveTree(DEFAULT_DIR);
  InstallOptions options;
  options.currentDirectory = medium;
  const InstallRun run = Install(context, "", options);
  ExpectBothPhases(run, PackArchive(SmallKit()).size(), SmallKit().size(), "an empty directory field");
  Kit expected = SmallKit();
  for (const char* file : {"MEDIUM\\DATA.CMP", "MEDIUM\\LICENSE.TXT", "MEDIUM\\README.TXT", "MEDIUM\\SHELLINK.DAT"})
    expected.push_back({file, ReadBytes(root + file)});
  ExpectInstalledTree(root, expected, "the current drive's root");
  Expect(!IsDirectory(DEFAULT_DIR), "an empty field made the program install into the default directory");
}

// No memory for the transfer buffer: the payload is not even opened.
void NoDecompressBuffer(Context& context) {
  WriteMedium(context.workDir);
  InstallOptions options;
  options.beforeNext = [](SetupRun& run) { FailImport(run.Process(), "msvcrt.dll", "malloc", 0, 0); };
  const InstallRun run = Install(context, KitDir(context), options);
  ExpectFatalRun(run, NO_DECOMPRESS_BUFFER, "no memory for the transfer buffer");
  ExpectOnly(KitDir(context), {}, "without a transfer buffer");
}

// A close request while the work runs only hides the window.
void CloseDuringTheWork(Context& context) {
  WriteMedium(context.workDir);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, KitDir(context));
  {
    ImportGate hold(run.Process(), "user32.dll", "SendMessageA");
    run.Click(page, NEXT);
    hold.WaitHeld("the install step to send its first message");
    HWND progress = run.ProgressWindow();
    Expect(progress != nullptr, "no progress window while the step works");
    PostMessageA(progress, WM_CLOSE, 0, 0);
  }
  page = run.ExpectPage(107, "a close request during the install step");
  ExpectInstalledTree(KitDir(context), SmallKit(), "after a close request during the work");
  run.Click(page, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
}

// The sweeps install into SWEEP\KIT beside a sentinel; after every run the
// sweep folder must hold nothing else, and the medium's folder only the
// medium.
struct SweepPlace {
  std::string sweep, kit, sentinel;
};

SweepPlace PrepareSweep(const Context& context) {
  SweepPlace place{context.workDir + "\\SWEEP", context.workDir + "\\SWEEP\\KIT",
                   context.workDir + "\\SWEEP\\SENTINEL.TXT"};
  CreateDirectoryA(place.sweep.c_str(), nullptr);
  WriteBytes(place.sentinel, "sentinel");
  return place;
}

void ExpectNothingOutside(const Context& context, const SweepPlace& place, const std::string& what) {
  Expect(ReadBytes(place.sentinel) == "sentinel", "%s: the sentinel beside the directory changed", what.c_str());
  std::vector<std::string> sweep;
  for (const TreeItem& item : ReadTree(place.sweep)) {
    if (item.path.rfind("KIT\\", 0) != 0) sweep.push_back(item.path);
  }
  Expect(sweep == std::vector<std::string>{"SENTINEL.TXT"}, "%s: something was written beside the directory",
         what.c_str());
  ExpectOnly(context.workDir,
             {"DATA.CMP", "LICENSE.TXT", "README.TXT", "SHELLINK.DAT", "SWEEP\\", "SWEEP\\SENTINEL.TXT"},
             what + " (the medium's folder, the directory removed)");
}

// A small medium's DATA.CMP cut at every point of its header and at many
// points through the stream: never a completed installation.
void TruncationSweep(Context& context) {
  const std::string payload = CompressPayload(PackArchive(SmallKit()));
  WriteDocuments(context.workDir);
  const SweepPlace place = PrepareSweep(context);
  std::vector<std::size_t> cuts;
  for (std::size_t cut = 0; cut <= 14; ++cut) cuts.push_back(cut);
  for (std::size_t i = 1; i <= 24; ++i) cuts.push_back(14 + (payload.size() - 15) * i / 25);
  cuts.push_back(payload.size() - 1);
  for (std::size_t cut : cuts) {
    RemoveTree(place.kit);
    WriteBytes(context.workDir + "\\DATA.CMP", payload.substr(0, cut));
    const std::string what = "DATA.CMP cut to " + std::to_string(cut) + " of " + std::to_string(payload.size());
    const InstallRun run = Install(context, place.kit);
    Expect(!run.completed, "%s: the installation completed", what.c_str());
    // A cut inside the header leaves no SZDD stream: the platform copies the
    // bytes as they are, and they are no archive. A cut in the stream gives
    // fewer bytes than the header states.
    const char* expected = cut < 14 ? CANNOT_OPEN_LIBRARY : PROBLEM_ON_DECOMPRESSION;
    ExpectFatalRun(run, expected, what);
    RemoveTree(place.kit);
    ExpectNothingOutside(context, place, what);
  }
  std::printf("%zu cut payloads, none completed\n", cuts.size());
}

// One byte of a small medium's DATA.CMP changed at many offsets. Where the
// platform's expansion of the damaged file still gives the very archive
// (a byte it never reads, a match that copies the same bytes from elsewhere)
// nothing was damaged that could be found, and the installation must then
// be whole; every other run must end in a fatal message.
void DamageSweep(Context& context) {
  const std::string archive = PackArchive(SmallKit());
  const std::string payload = CompressPayload(archive);
  WriteDocuments(context.workDir);
  const SweepPlace place = PrepareSweep(context);
  std::set<std::size_t> offsets;
  for (std::size_t at = 0; at < 40 && at < payload.size(); ++at) offsets.insert(at);
  for (std::size_t i = 0; i < 40; ++i) offsets.insert(40 + (payload.size() - 41) * i / 39);
  int harmless = 0, refused = 0;
  for (std::size_t offset : offsets) {
    RemoveTree(place.kit);
    std::string damaged = payload;
    damaged[offset] = static_cast<char>(damaged[offset] ^ 0x5A);
    WriteBytes(context.workDir + "\\DATA.CMP", damaged);
    // The length that the header states is checked against the expansion:
    // damage to it is damage, whatever the expansion gives.
    std::string expanded;
    const bool stated = offset < 10 || offset >= 14;
    const bool same = ExpandWithLz32(context.workDir + "\\DATA.CMP", expanded) && expanded == archive && stated;
    const std::string what = "DATA.CMP with byte " + std::to_string(offset) + " changed";
    const InstallRun run = Install(context, place.kit);
    if (same) {
      Expect(run.completed, "%s expands to the same archive, yet the installation said \"%s\"", what.c_str(),
             run.fatal.c_str());
      ExpectInstalledTree(place.kit, SmallKit(), what.c_str());
      std::printf("byte %zu changed: the platform expands the very archive from it\n", offset);
      ++harmless;
    } else {
      Expect(!run.completed, "%s: the installation completed from a damaged archive", what.c_str());
      Expect(run.fatal == PROBLEM_ON_DECOMPRESSION || run.fatal == CANNOT_OPEN_LIBRARY, "%s: the fatal box says \"%s\"",
             what.c_str(), run.fatal.c_str());
      ++refused;
    }
    RemoveTree(place.kit);
    ExpectNothingOutside(context, place, what);
  }
  std::printf("%zu damaged payloads: %d refused, %d expanding to the undamaged archive\n", offsets.size(), refused,
              harmless);
  Expect(refused > harmless, "too few of the damaged payloads were damage at all: the sweep shows nothing");
}

// Archives no kit builder of ours would make, each refused before anything
// is written, with the sentinel beside the directory unchanged.
void HostileArchives(Context& context) {
  WriteDocuments(context.workDir);
  const SweepPlace place = PrepareSweep(context);
  // The ones that Windows cannot write come after a good entry, which must
  // not be written either: a directory that cannot be made where the
  // archive lies, characters no file name holds, and a directory whose
  // path, 248 characters, Windows does not create.
  const std::string good = Header() + Entry("GOOD.TXT", "good");
  const std::string directory248 = StorableName(247 - place.kit.size()) + "\\F.TXT";
  struct {
    const char* why;
    std::string archive;
  } cases[] = {
      {"a .. component", Header() + Entry("A\\..\\..\\SENTINEL.TXT", "overwritten")},
      {"a .. component after a good entry", Header() + Entry("GOOD.TXT", "g") + Entry("..\\SENTINEL.TXT", "x")},
      {"a .. component with slashes", Header() + Entry("../SENTINEL.TXT", "overwritten")},
      {"a drive", Header() + Entry("C:\\EVIL.TXT", "x")},
      {"a drive-relative name", Header() + Entry("C:EVIL.TXT", "x")},
      {"a UNC name", Header() + Entry("\\\\SERVER\\SHARE\\EVIL.TXT", "x")},
      {"a device namespace", Header() + Entry("\\\\.\\C:\\EVIL.TXT", "x")},
      {"a device name", Header() + Entry("BIN\\CON.TXT", "x")},
      {"an unterminated name", Header() + EntryHeaderWithField(std::string(260, 'n'), 0)},
      {"a negative size", Header() + EntryHeaderWithField(StoredName("A.TXT"), -1)},
      {"a size past the end", Header() + EntryHeaderWithField(StoredName("A.TXT"), 100) + StoredData("short")},
      {"a top-level DATA.VNX", Header() + Entry("DATA.VNX", "overwrites the archive")},
      {"a top-level data.vnx", Header() + Entry("GOOD.TXT", "g") + Entry("data.vnx", "overwrites the archive")},
      {"a name ending in a backslash", Header() + Entry("BIN\\", "x")},
      {"a top-level directory named like the archive", good + Entry("Data.Vnx\\README.TXT", "x")},
      {"a question mark", good + Entry("DOC\\A?B.TXT", "x")},
      {"a vertical bar", good + Entry("DOC\\A|B.TXT", "x")},
      {"a less-than sign", good + Entry("DOC\\A<B.TXT", "x")},
      {"a greater-than sign", good + Entry("DOC\\A>B.TXT", "x")},
      {"a quotation mark", good + Entry("DOC\\A\"B.TXT", "x")},
      {"an asterisk", good + Entry("DOC\\A*B.TXT", "x")},
      {"a directory's path of 248 characters", good + Entry(directory248, "x")},
      {"a damaged checked archive",
       [] {
         std::string a = PackArchive(SmallKit());
         a[a.size() - 10] ^= 1;
         return a;
       }()},
  };
  for (const auto& c : cases) {
    RemoveTree(place.kit);
    WriteBytes(context.workDir + "\\DATA.CMP", CompressPayload(c.archive));
    const InstallRun run = Install(context, place.kit);
    ExpectFatalRun(run, CANNOT_OPEN_LIBRARY, c.why);
    ExpectOnly(place.kit, {"DATA.VNX"}, c.why);
    RemoveTree(place.kit);
    ExpectNothingOutside(context, place, c.why);
  }
}

// Names that the format allows but that make the extraction do something
// particular, each checked on the tree it leaves.
void ArchiveNames(Context& context) {
  struct {
    const char* why;
    Kit kit;
    std::vector<TreeItem> tree;  // what the directory holds afterwards
    const char* fatal;           // null when the installation completes
  } cases[] = {
      {"two entries of one name: both steps write the first's data",
       {{"A.TXT", "first"}, {"B.TXT", "b"}, {"A.TXT", "second"}},
       {{"A.TXT", "first"}, {"B.TXT", "b"}},
       nullptr},
      {"names that differ in case: one file, written by both in turn",
       {{"SAME.TXT", "upper"}, {"same.txt", "lower"}},
       {{"SAME.TXT", "lower"}},
       nullptr},
      {"no entries at all", {}, {}, nullptr},
      {"a leading backslash: the name without it",
       {{"\\LEAD\\F.TXT", "lead"}},
       {{"LEAD\\", ""}, {"LEAD\\F.TXT", "lead"}},
       nullptr},
      {"slashes separate as backslashes do",
       {{"S1/S2\\F.TXT", "slash"}},
       {{"S1\\", ""}, {"S1\\S2\\", ""}, {"S1\\S2\\F.TXT", "slash"}},
       nullptr},
      {"a file where a directory must go",
       {{"X", "a file named X"}, {"X\\Y.TXT", "y"}},
       {{"X", "a file named X"}},
       CANNOT_EXTRACT},
      {"a directory where a file must go",
       {{"D\\E.TXT", "e"}, {"D", "a file named D"}, {"LATER.TXT", "never"}},
       {{"D\\", ""}, {"D\\E.TXT", "e"}, {"DATA.VNX", ""}},
       CANNOT_EXTRACT},
  };
  WriteDocuments(context.workDir);
  for (const auto& c : cases) {
    RemoveTree(KitDir(context));
    const std::string archive = PackArchive(c.kit);
    WriteBytes(context.workDir + "\\DATA.CMP", CompressPayload(archive));
    const InstallRun run = Install(context, KitDir(context));
    if (c.fatal == nullptr) {
      ExpectBothPhases(run, archive.size(), c.kit.size(), c.why);
    } else {
      ExpectFatalRun(run, c.fatal, c.why);
    }
    std::vector<TreeItem> tree = ReadTree(KitDir(context));
    std::vector<TreeItem> expected = c.tree;
    if (c.fatal != nullptr) {
      // The archive stays after a fatal error; its bytes are not the point.
      for (TreeItem& item : tree)
        if (item.path == "DATA.VNX") item.bytes.clear();
      if (std::none_of(expected.begin(), expected.end(), [](const TreeItem& i) { return i.path == "DATA.VNX"; }))
        expected.push_back({"DATA.VNX", ""});
    }
    std::sort(expected.begin(), expected.end());
    std::string list;
    for (const TreeItem& item : tree) list += " " + item.path + "=" + Printable(item.bytes.substr(0, 20));
    Expect(tree == expected, "%s: the directory holds%s", c.why, list.c_str());
  }
}

// 65,536 entries: the bar's range takes the low 16 bits of the count, which
// are 0, and still steps once per entry. All of one name, so that the run
// writes one file again and again rather than a tree of 65,536.
void SixteenBitEntryRange(Context& context) {
  const int entries = 65536;
  Kit kit(entries, KitFile{"SAME.TXT", ""});
  kit[0].data = "the first entry's data";
  kit[1].data = "never written";
  WriteMedium(context.workDir, kit);
  const std::string archive = PackArchive(kit);
  InstallOptions options;
  options.limitMs = 240000;
  const InstallRun run = Install(context, KitDir(context), options);
  Expect(run.completed, "65,536 entries: the installation said \"%s\"", run.fatal.c_str());
  Expect(run.phases.size() == 2, "the bar ran %zu times", run.phases.size());
  ExpectPhase(run.phases[0], EXPANSION_RANGE, ReadsFor(archive.size()), "65,536 entries, the expansion");
  Expect(run.phases[1].range == 0, "65,536 entries set the range with 0x%llx, not 0",
         static_cast<unsigned long long>(run.phases[1].range));
  Expect(run.phases[1].positions.size() == static_cast<std::size_t>(entries),
         "the bar stepped %zu times for %d entries", run.phases[1].positions.size(), entries);
  ExpectInstalledTree(KitDir(context), {kit[0]}, "after 65,536 entries of one name");
}

// Drives Q: and R: are small file systems of their own, mapped by the
// scenario's script: Q: too small for the archive, R: holding the archive
// but not the files as well.
void FullDisk(Context& context) {
  for (const char* drive : {"Q:\\", "R:\\"}) {
    ULARGE_INTEGER free = {}, total = {};
    Expect(GetDiskFreeSpaceExA(drive, &free, &total, nullptr) != FALSE,
           "drive %s is not mapped: the full-disk scenario runs only through its script, which mounts it", drive);
    Expect(total.QuadPart <= 4u << 20, "drive %s holds %llu bytes: it is not the small file system it should be", drive,
           static_cast<unsigned long long>(total.QuadPart));
  }
  // Bytes that do not compress, so that the medium stays small only in
  // number of files.
  Kit kit = {{"FIRST.BIN", Pattern(150000, 1)}, {"SECOND.BIN", Pattern(700000, 2)}, {"THIRD.BIN", "t"}};
  for (KitFile& file : kit)
    for (std::size_t i = 0; i < file.data.size(); ++i) file.data[i] = static_cast<char>(file.data[i] * 131 + i * 7);
  WriteMedium(context.workDir, kit);

  const InstallRun expansion = Install(context, "Q:\\KIT");
  ExpectFatalRun(expansion, PROBLEM_ON_DECOMPRESSION, "a disk too small for the archive");

  const InstallRun extraction = Install(context, "R:\\KIT");
  ExpectFatalRun(extraction, CANNOT_EXTRACT, "a disk too small for the archive and the files");
  Expect(ReadBytes("R:\\KIT\\FIRST.BIN") == kit[0].data, "the entry written before the disk was full is not whole");
  Expect(!IsFile("R:\\KIT\\SECOND.BIN"), "the entry that did not fit was left half-written");
  Expect(!IsFile("R:\\KIT\\THIRD.BIN"), "an entry after the failure was written");
}

// With QV_IO_HANDSHAKE naming a directory, the timed run stops on page 5
// before Next and again on page 7, each time saying so and waiting for the
// file of that page ("5" or "7") in the directory: a benchmark outside Wine
// reads the program's I/O counters meanwhile, so that the difference between
// them is the install step's alone.
void IoHandshake(const char* page) {
  char directory[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("QV_IO_HANDSHAKE", directory, sizeof directory);
  if (length == 0 || length >= sizeof directory) return;
  const std::string go = std::string(directory) + "\\" + page;
  std::printf("io handshake: page %s\n", page);
  const auto arrived = [&] { return GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES; };
  WaitUntil("the benchmark's go-ahead " + go, arrived, 60000);
}

}  // namespace

void TimeInstall(Context& context) {
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL);
  HWND page = WalkTo(run, 105, context.picturesDir);
  IoHandshake("5");
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  run.Click(page, NEXT);
  const Screen screen = run.Next("Next on page 5, through the install step", 30 * 60 * 1000);
  QueryPerformanceCounter(&end);
  Expect(screen.kind == ScreenKind::Page && screen.page == 107, "the install step ended in %s",
         Describe(screen).c_str());
  std::printf("install step: %.3f s\n", static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
  IoHandshake("7");
  run.Click(screen.window, BACK);
  ExpectCompletionNotice(run, sentinel, "No on page 7");
}

const std::vector<Scenario>& InstallScenarios() {
  static const std::vector<Scenario> scenarios = {
      {"install-whole", InstallWhole},
      {"payload-sizes", PayloadSizes},
      {"payload-missing", PayloadMissing},
      {"payload-beside-program", PayloadBesideTheProgram},
      {"archive-overwritten", ArchiveOverwritten},
      {"directory-one-level", OnlyOneLevelIsCreated},
      {"directory-field-300", LongDirectoryField},
      {"directory-250", LongestDirectory},
      {"directory-field-empty", EmptyDirectoryField},
      {"no-decompress-buffer", NoDecompressBuffer},
      {"close-during-work", CloseDuringTheWork},
      {"truncation-sweep", TruncationSweep},
      {"damage-sweep", DamageSweep},
      {"hostile-archives", HostileArchives},
      {"archive-names", ArchiveNames},
      {"full-disk", FullDisk},
      {"entries-65536", SixteenBitEntryRange},
  };
  return scenarios;
}
