#include "kit/KitCommands.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "base/Scoped.h"
#include "base/SzddHeader.h"
#include "kit/CarriedSetup.h"
#include "kit/CdImage.h"
#include "kit/CodePage.h"
#include "kit/KitFiles.h"
#include "kit/LibraryScan.h"
#include "kit/LibraryWriter.h"
#include "kit/OutputFile.h"
#include "kit/ProgressBar.h"
#include "kit/ShortcutCheck.h"
#include "kit/szdd/Szdd.h"
#include "payload/LibraryFormat.h"

namespace fs = std::filesystem;

namespace {

// The text files that travel beside the payload.
const char* const MEDIUM_TEXT_FILES[] = {"LICENSE.TXT", "README.TXT", "SHELLINK.DAT"};
constexpr std::size_t MEDIUM_SHORTCUT_LIST = 2;  // SHELLINK.DAT among them
constexpr char MEDIUM_PAYLOAD[] = "DATA.CMP";
constexpr char MEDIUM_SETUP[] = "SETUP.EXE";

int Fail(const std::string& message) {
  std::fprintf(stderr, "kitpack: %s\n", message.c_str());
  return 1;
}

void Note(const std::string& message) { std::fprintf(stderr, "kitpack: note: %s\n", message.c_str()); }

// Prints each problem; at most this many, so that a badly broken input does
// not flood the terminal.
int FailWithProblems(const std::string& prefix, const std::vector<std::string>& problems) {
  constexpr std::size_t SHOWN = 50;
  for (std::size_t i = 0; i < problems.size() && i < SHOWN; ++i) Fail(prefix + problems[i]);
  if (problems.size() > SHOWN) Fail(prefix + "... and " + std::to_string(problems.size() - SHOWN) + " more problems");
  return 1;
}

// Compresses the bytes and expands the result again, so that nothing is
// written that does not give back exactly what went in.
bool CompressChecked(const std::vector<std::uint8_t>& plain, char lastChar, std::vector<std::uint8_t>& compressed,
                     const std::string& what, std::string& error) {
  std::string why;
  {
    ProgressBar bar("compressing");
    if (!SzddCompress(plain.data(), plain.size(), lastChar, compressed, why, bar.Callback())) {
      error = what + ": cannot compress: " + why;
      return false;
    }
  }
  std::vector<std::uint8_t> expanded;
  if (!SzddExpand(compressed.data(), compressed.size(), expanded, why)) {
    error = what + ": the compressed result does not expand: " + why;
    return false;
  }
  if (expanded != plain) {
    error = what + ": the compressed result does not expand to the original bytes";
    return false;
  }
  return true;
}

std::string Percent(std::uint64_t part, std::uint64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / whole);
  return text;
}

// The components of an entry name, in UTF-8: split where the code page
// reads a '\' or a '/', one leading separator dropped, as on Windows. False
// when the name is not text in the code page.
bool Components(const std::string& name, const CodePage& codePage, std::vector<std::string>& parts,
                std::string& error) {
  std::vector<std::string> split = codePage.NameComponents(name);
  if (split.size() > 1 && split[0].empty()) split.erase(split.begin());
  parts.assign(split.size(), std::string());
  for (std::size_t i = 0; i < split.size(); ++i) {
    if (!codePage.ToUtf8(split[i], parts[i], error)) return false;
  }
  return true;
}

// Creates the directories below root for an entry, its name's components in
// UTF-8, and gives the path of its file. A symbolic link or a file where a
// directory belongs is refused, so that nothing is written outside root.
bool PrepareEntryPath(const fs::path& root, const std::vector<std::string>& parts, fs::path& file, std::string& error) {
  fs::path path = root;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    path /= fs::u8path(parts[i]);
    std::error_code code;
    fs::file_status status = fs::symlink_status(path, code);
    if (fs::is_symlink(status)) {
      error = path.string() + ": a symbolic link is in the way";
      return false;
    }
    if (fs::exists(status) && !fs::is_directory(status)) {
      error = path.string() + ": a file is in the way of a directory";
      return false;
    }
    if (!fs::exists(status) && !fs::create_directory(path, code)) {
      error = path.string() + ": cannot create the directory: " + code.message();
      return false;
    }
  }
  file = path / fs::u8path(parts.back());
  std::error_code code;
  if (fs::is_directory(fs::symlink_status(file, code))) {
    error = file.string() + ": a directory is in the way";
    return false;
  }
  return true;
}

// One of the texts beside SETUP.EXE, which shows or reads it in the ANSI code
// page: UTF-8 with characters past ASCII is converted into the code page (a
// byte-order mark dropped); plain ASCII, and anything that is not UTF-8 and
// so taken to be in the code page already, stay as they are. report says
// which was done. False, naming the file and the place, when a character
// has no place in the code page.
bool TextInCodePage(const fs::path& path, const CodePage& codePage, std::vector<std::uint8_t>& bytes,
                    std::string& report, std::string& error) {
  const std::string page = "code page " + std::to_string(codePage.Number());
  std::string text(bytes.begin(), bytes.end());
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    report = path.string() + ": plain ASCII, copied as it is";
    return true;
  }
  static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
  const bool marked = text.compare(0, 3, BYTE_ORDER_MARK) == 0;
  if (!marked && !codePage.IsUtf8(text)) {
    report = path.string() + ": not UTF-8, copied as it is (taken to be in " + page + " already)";
    return true;
  }
  std::string converted;
  std::string problem;
  if (!codePage.TextFromUtf8(marked ? text.substr(3) : text, converted, problem)) {
    error = path.string() + ": " + problem;
    return false;
  }
  bytes.assign(converted.begin(), converted.end());
  report = path.string() + ": converted from UTF-8 into " + page + (marked ? ", its byte-order mark dropped" : "");
  return true;
}

// Checks the shortcut list against the names of the entries it will be
// installed with, and prints its notes and problems, naming the list. True
// when it has no problem.
bool ShortcutListHolds(const fs::path& path, const std::vector<std::uint8_t>& list,
                       const std::vector<std::string>& entryNames, const CodePage& codePage, std::size_t& itemLines) {
  ShortcutListCheck check;
  const bool holds = CheckShortcutList(list, entryNames, codePage, check);
  for (const std::string& note : check.notes) Note(path.string() + ": " + note);
  if (!holds) FailWithProblems(path.string() + ": ", check.problems);
  itemLines = check.itemLines;
  return holds;
}

// Opens the archive in the file and checks it whole, printing every problem
// found. False when it does not hold what setup relies on.
bool OpenAndVerify(const fs::path& file, const CodePage& codePage, ArchiveSource& source, LibraryCheck& check) {
  std::string error;
  if (!OpenArchiveSource(file, source, error)) {
    Fail(error);
    return false;
  }
  ProgressBar bar("verifying");
  if (VerifyLibrary(source.Input(), codePage, check, bar.Callback())) return true;
  FailWithProblems(file.string() + ": ", check.problems);
  return false;
}

// A second pass reads the same bytes again: the expanded payload from memory,
// or the archive file from its start.
bool RewindArchiveSource(const fs::path& file, ArchiveSource& source, std::string& error) {
  if (source.compressed) {
    source.memory = ArchiveInMemory(source.expanded.data(), source.expanded.size());
    return true;
  }
  return source.file.Open(file, error);
}

// A medium folder: its payload verified as verify does it for the file, the
// texts that setup reads beside it present, and its shortcut list checked
// against the payload's entries.
int VerifyMedium(const fs::path& medium, const CodePage& codePage) {
  const fs::path payload = medium / MEDIUM_PAYLOAD;
  ArchiveSource source;
  LibraryCheck check;
  if (!OpenAndVerify(payload, codePage, source, check)) return 1;
  std::string error;

  std::vector<std::vector<std::uint8_t>> texts;
  for (const char* name : MEDIUM_TEXT_FILES) {
    texts.emplace_back();
    if (!ReadWholeFile(medium / name, texts.back(), error)) return Fail(error);
  }
  std::size_t shortcuts = 0;
  if (!ShortcutListHolds(medium / MEDIUM_TEXT_FILES[MEDIUM_SHORTCUT_LIST], texts[MEDIUM_SHORTCUT_LIST], check.names,
                         codePage, shortcuts)) {
    return 1;
  }
  std::printf("%s: medium, %zu entries, %" PRIu64 " data bytes, %zu shortcuts: OK\n", medium.string().c_str(),
              check.entries, check.dataBytes, shortcuts);
  return 0;
}

// The files of a medium, in the order they are written: DATA.CMP, the
// texts, and SETUP.EXE.
struct MediumFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

struct Medium {
  std::vector<MediumFile> files;
  std::size_t entries = 0;
  std::uint64_t archiveBytes = 0;
  std::vector<std::string> textReports;  // for each text, whether it was converted or copied
};

// Reads and checks everything a medium is made of, and packs and compresses
// the tree, before anything is written. Prints every problem, naming the
// payload as `payloadName`; false when there is one.
bool BuildMedium(const fs::path& kit, const fs::path& setup, const std::string& payloadName, const CodePage& codePage,
                 Medium& medium) {
  std::string error;
  std::vector<std::vector<std::uint8_t>> texts;
  for (const char* name : MEDIUM_TEXT_FILES) {
    texts.emplace_back();
    medium.textReports.emplace_back();
    if (!ReadWholeFile(kit / name, texts.back(), error) ||
        !TextInCodePage(kit / name, codePage, texts.back(), medium.textReports.back(), error)) {
      Fail(error);
      return false;
    }
  }
  std::vector<std::uint8_t> setupBytes;
  if (!ReadSetupProgram(setup, setupBytes, error)) {
    Fail(error);
    return false;
  }

  std::vector<TreeFile> files;
  std::vector<std::string> problems;
  std::vector<std::string> notes;
  bool collected = CollectTree(kit / "files", codePage, files, problems, notes);
  for (const std::string& note : notes) Note(note);
  if (!collected) {
    FailWithProblems("", problems);
    return false;
  }

  // A wrong shortcut is found here rather than on a user's machine.
  std::vector<std::string> names;
  for (const TreeFile& file : files) names.push_back(file.name);
  std::size_t shortcuts = 0;
  if (!ShortcutListHolds(kit / MEDIUM_TEXT_FILES[MEDIUM_SHORTCUT_LIST], texts[MEDIUM_SHORTCUT_LIST], names, codePage,
                         shortcuts)) {
    return false;
  }

  std::vector<std::uint8_t> archive;
  archive.reserve(static_cast<std::size_t>(LibrarySize(files)));
  VectorSink sink(archive);
  {
    ProgressBar bar("packing");
    if (!WriteLibrary(files, sink, error, bar.Callback())) {
      Fail(error);
      return false;
    }
  }
  LibraryCheck check;
  ArchiveInput packed = ArchiveInMemory(archive.data(), archive.size());
  if (!VerifyLibrary(packed, codePage, check)) {
    FailWithProblems("the packed archive: ", check.problems);
    return false;
  }

  // The installer expands the payload into DATA.VNX: its last character goes
  // into the header.
  std::vector<std::uint8_t> compressed;
  const char lastChar = LIBRARY_ARCHIVE_NAME[sizeof LIBRARY_ARCHIVE_NAME - 2];
  if (!CompressChecked(archive, lastChar, compressed, payloadName, error)) {
    Fail(error);
    return false;
  }

  medium.entries = files.size();
  medium.archiveBytes = archive.size();
  medium.files.push_back({MEDIUM_PAYLOAD, std::move(compressed)});
  for (std::size_t i = 0; i < texts.size(); ++i) medium.files.push_back({MEDIUM_TEXT_FILES[i], std::move(texts[i])});
  medium.files.push_back({MEDIUM_SETUP, std::move(setupBytes)});
  return true;
}

}  // namespace

int PackCommand(const fs::path& tree, const fs::path& output, const CodePage& codePage) {
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
  std::printf("%s: %zu entries, %" PRIu64 " bytes\n", output.string().c_str(), files.size(), LibrarySize(files));
  return 0;
}

int CompressCommand(const fs::path& input, const fs::path& output) {
  std::vector<std::uint8_t> plain;
  std::vector<std::uint8_t> compressed;
  std::string error;
  std::error_code code;
  if (fs::is_regular_file(input, code) && fs::file_size(input, code) > SZDD_MAX_INPUT) {
    return Fail(input.string() + ": " + std::to_string(fs::file_size(input, code)) +
                " bytes; the compressed format holds at most 2147483647");
  }
  if (!ReadWholeFile(input, plain, error)) return Fail(error);
  std::string name = input.filename().string();
  if (!CompressChecked(plain, name.back(), compressed, input.string(), error)) return Fail(error);

  OutputFile out;
  if (!WriteWholeFile(out, output, compressed, error) || !out.Commit(error)) return Fail(error);
  std::printf("%s: %zu bytes from %zu (%s)\n", output.string().c_str(), compressed.size(), plain.size(),
              Percent(compressed.size(), plain.size()).c_str());
  return 0;
}

int MediumCommand(const fs::path& kit, const fs::path& outDir, const fs::path& setup, const CodePage& codePage) {
  Medium medium;
  if (!BuildMedium(kit, setup, (outDir / MEDIUM_PAYLOAD).string(), codePage, medium)) return 1;

  std::error_code code;
  fs::create_directories(outDir, code);
  if (code) return Fail(outDir.string() + ": cannot create the directory: " + code.message());
  // All files go out under temporary names first, and are renamed into place
  // only when every one of them has been written.
  std::string error;
  std::vector<std::unique_ptr<OutputFile>> outputs;
  for (const MediumFile& file : medium.files) {
    outputs.push_back(std::make_unique<OutputFile>());
    if (!WriteWholeFile(*outputs.back(), outDir / file.name, file.bytes, error)) return Fail(error);
  }
  for (auto& output : outputs) {
    if (!output->Commit(error)) return Fail(error);
  }
  for (const std::string& report : medium.textReports) std::printf("%s\n", report.c_str());
  std::printf("%s: %zu entries, archive %" PRIu64 " bytes, %s %zu bytes (%s)\n", outDir.string().c_str(),
              medium.entries, medium.archiveBytes, MEDIUM_PAYLOAD, medium.files[0].bytes.size(),
              Percent(medium.files[0].bytes.size(), medium.archiveBytes).c_str());
  return 0;
}

int ImageCommand(const fs::path& kit, const fs::path& image, const fs::path& setup, const std::string& labelOption,
                 const CodePage& codePage) {
  std::string why;
  if (!CdImageAvailable(why)) return Fail(image.string() + ": " + why);
  // The label and the timestamp are checked before the kit is packed, which
  // takes a while for a large one.
  std::string label;
  std::string problem;
  if (!labelOption.empty()) {
    if (!CdLabelFromOption(labelOption, label, problem)) return Fail(problem);
  } else {
    std::error_code code;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(kit), code);
    label = CdLabelFromName((code ? kit : absolute).filename().string());
    if (label.empty())
      return Fail(kit.string() + ": the kit folder has no name to make a volume label of; give --label");
  }
  std::int64_t when = 0;
  if (!CdImageTime(std::getenv("SOURCE_DATE_EPOCH"), when, problem)) return Fail(problem);

  Medium medium;
  if (!BuildMedium(kit, setup, image.string() + ": " + MEDIUM_PAYLOAD, codePage, medium)) return 1;
  std::vector<CdImageFile> files;
  for (const MediumFile& file : medium.files) files.push_back({file.name, &file.bytes});

  OutputFile out;
  OutputSink sink(out);
  std::string error;
  if (!out.Create(image, error)) return Fail(error);
  {
    ProgressBar bar("writing the image");
    if (!WriteCdImage(files, label, when, sink, image.string(), error, bar.Callback())) return Fail(error);
  }
  if (!out.Commit(error)) return Fail(error);
  for (const std::string& report : medium.textReports) std::printf("%s\n", report.c_str());
  std::error_code code;
  const std::uintmax_t size = fs::file_size(image, code);
  std::printf("%s: CD image \"%s\", %ju bytes: %zu entries, archive %" PRIu64 " bytes, %s %zu bytes (%s)\n",
              image.string().c_str(), label.c_str(), code ? std::uintmax_t{0} : size, medium.entries,
              medium.archiveBytes, MEDIUM_PAYLOAD, medium.files[0].bytes.size(),
              Percent(medium.files[0].bytes.size(), medium.archiveBytes).c_str());
  return 0;
}

int ListCommand(const fs::path& file, const CodePage& codePage) {
  ArchiveSource source;
  std::string error;
  if (!OpenArchiveSource(file, source, error)) return Fail(error);
  LibraryScanner scanner(source.Input(), codePage);
  if (!scanner.ReadHeader(error)) return Fail(file.string() + ": " + error);

  std::printf("%12s %12s  %s\n", "SIZE", "OFFSET", "NAME");
  ScannedEntry entry;
  std::size_t entries = 0;
  std::uint64_t bytes = 0;
  for (;;) {
    ScanStep step = scanner.Next(entry, error);
    if (step == ScanStep::Invalid) return Fail(file.string() + ": " + error);
    if (step == ScanStep::End) break;
    std::printf("%12" PRId32 " %12" PRId64 "  %s\n", entry.size, entry.dataOffset, entry.shown.c_str());
    ++entries;
    bytes += static_cast<std::uint64_t>(entry.size);
  }
  std::printf("%zu entries, %" PRIu64 " data bytes\n", entries, bytes);
  const LibraryMarking marking = scanner.Marking();
  std::printf("%s\n", marking == LibraryMarking::Checked   ? "checked: the headers carry CRCs, which verify compares"
                      : marking == LibraryMarking::Damaged ? "the check marker or the header's CRC is damaged"
                                                           : "unchecked: no check marker");
  if (scanner.TrailingBytes() > 0) {
    Note(file.string() + ": " + std::to_string(scanner.TrailingBytes()) + " bytes left over after the last entry");
  }
  return 0;
}

int VerifyCommand(const fs::path& file, const CodePage& codePage) {
  std::error_code code;
  if (fs::is_directory(file, code)) return VerifyMedium(file, codePage);
  ArchiveSource source;
  LibraryCheck check;
  if (!OpenAndVerify(file, codePage, source, check)) return 1;
  std::printf("%s: %s%zu entries, %" PRIu64 " data bytes: OK\n", file.string().c_str(),
              source.compressed ? "compressed payload, " : "", check.entries, check.dataBytes);
  return 0;
}

int ExtractCommand(const fs::path& file, const fs::path& directory, const CodePage& codePage) {
  // A first pass checks the whole archive, so that nothing at all is written
  // from one that would not install; every name is text in the code page.
  ArchiveSource source;
  LibraryCheck check;
  if (!OpenAndVerify(file, codePage, source, check)) return 1;
  std::string error;
  if (!RewindArchiveSource(file, source, error)) return Fail(error);
  LibraryScanner scanner(source.Input(), codePage);
  if (!scanner.ReadHeader(error)) return Fail(file.string() + ": " + error);
  std::error_code code;
  fs::create_directories(directory, code);
  if (code) return Fail(directory.string() + ": cannot create the directory: " + code.message());

  ProgressBar bar("extracting");
  ScannedEntry entry;
  std::size_t entries = 0;
  for (;;) {
    ScanStep step = scanner.Next(entry, error);
    if (step == ScanStep::Invalid) return Fail(file.string() + ": " + error);
    if (step == ScanStep::End) break;
    std::vector<std::string> parts;
    if (!Components(entry.name, codePage, parts, error)) return Fail(file.string() + ": " + entry.shown + ": " + error);
    fs::path target;
    if (!PrepareEntryPath(directory, parts, target, error)) return Fail(error);
    OutputFile out;
    if (!out.Create(target, error)) return Fail(error);
    bool copied = scanner.ReadData(
        [&](const unsigned char* data, std::size_t size) {
          bar.Update(scanner.Position(), static_cast<std::uint64_t>(source.Input().length));
          return out.Write(data, size, error);
        },
        error);
    if (!copied) return Fail(error);
    // The archive file is read anew for this pass: one that changed since it
    // was verified is found out before the file takes its name.
    if (!scanner.DataIntact()) {
      return Fail(file.string() + ": " + EntryLabel(entry.index, entry.shown) +
                  ": the data changed since it was verified");
    }
    if (!out.Commit(error)) return Fail(error);
    ++entries;
  }
  std::printf("%s: %zu entries extracted\n", directory.string().c_str(), entries);
  return 0;
}
