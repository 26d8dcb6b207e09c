// kitpack end to end: the program as a shipper's script runs it.
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "ArchiveBytes.h"
#include "TestFiles.h"
#include "kit/LibraryWriter.h"

namespace {

namespace fs = std::filesystem;

// Every file below root, by relative path, with its bytes.
std::vector<std::pair<std::string, std::string>> TreeContents(const fs::path& root) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.emplace_back(fs::relative(entry.path(), root).string(), ReadFile(entry.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The archive as kitpack writes it, marked and sealed, with the last data
// byte changed as a damaged medium might give it back.
std::string CheckedArchiveWithDamagedData() {
  std::vector<std::uint8_t> out;
  VectorSink sink(out);
  std::string error;
  EXPECT_TRUE(WriteLibraryHeader(sink, error)) << error;
  for (const char* name : {"A.TXT", "DIR\\B.TXT"}) {
    const std::string data = std::string("data of ") + name;
    EXPECT_TRUE(WriteLibraryEntry(sink, name, reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), error))
        << error;
  }
  out.back() ^= 0x01;
  return std::string(out.begin(), out.end());
}

// The files directly in a folder by their names upper-cased, with their
// bytes: a medium folder, or an image as a reader shows it (some readers show
// level-1 names in lower case).
std::map<std::string, std::string> FilesByName(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    files[name] = entry.is_regular_file() ? ReadFile(entry.path()) : "(not a file)";
  }
  return files;
}

// Waits until the clock's second has changed, so that anything taken from
// the clock after it differs from what was taken before.
void NextSecond() {
  const std::time_t start = std::time(nullptr);
  while (std::time(nullptr) == start) ::usleep(20000);
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class KitpackTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-kitpack-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }

  // Runs kitpack with the arguments; the shell text in `before` comes first
  // on the command line (settings of the environment, or commands ended with
  // a semicolon).
  Outcome Kitpack(const std::vector<std::string>& args, const std::string& before = "") {
    std::string command = Quote(KITPACK_PATH);
    for (const auto& arg : args) command += " " + Quote(arg);
    return Shell(before + " " + command);
  }

  // Runs a shell command, with its output and error output.
  Outcome Shell(const std::string& command) {
    fs::path out = dir_ / "stdout.txt";
    fs::path err = dir_ / "stderr.txt";
    int raw = std::system(("{ " + command + "; } >" + Quote(out.string()) + " 2>" + Quote(err.string())).c_str());
    Outcome run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
  }

  // A small kit folder: a files/ tree with a few directories, sizes around
  // the reader's chunk, every byte value, and the three text files.
  fs::path MakeKit(const std::string& name, bool reversed = false) {
    fs::path kit = dir_ / name;
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::vector<std::pair<std::string, std::string>> files = {
        {"files/BIN/QCC.EXE", std::string(64001, 'q') + all},
        {"files/BIN/EMPTY.DAT", ""},
        {"files/INCLUDE/SYS/TYPES.H", "typedef unsigned size_t;\r\n"},
        {"files/README.1ST", "Read me first.\r\n"},
        {"files/LIB/q98.lib", all + all + all},
        {"LICENSE.TXT", "Licence text\r\n"},
        {"README.TXT", "Information\r\n"},
        {"SHELLINK.DAT", "[Quenvar 98]\r\n"},
    };
    if (reversed) std::reverse(files.begin(), files.end());
    for (const auto& [path, bytes] : files) WriteFile(kit / path, bytes);
    return kit;
  }

  // Names in the directory other than the given ones: leftovers such as
  // temporary files.
  static std::vector<std::string> Others(const fs::path& directory, const std::vector<std::string>& expected) {
    std::vector<std::string> others;
    if (!fs::exists(directory)) return others;
    for (const auto& entry : fs::directory_iterator(directory)) {
      std::string name = entry.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) others.push_back(name);
    }
    return others;
  }

  fs::path dir_;
};

TEST_F(KitpackTest, HelpNamesEverySubcommand) {
  Outcome run = Kitpack({"--help"});
  EXPECT_EQ(run.status, 0);
  for (const char* word : {"medium", "image", "pack", "compress", "list", "verify", "extract", "--setup", "--label",
                           "-o", "-C", "--codepage", "1252", "--version", "--jobs"}) {
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
  }
}

TEST_F(KitpackTest, WrongUsageExitsWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"unpack", "x"},
      {"pack", "tree"},
      {"pack", "tree", "-o"},
      {"pack", "tree", "-o", "a", "-o", "b"},
      {"list"},
      {"list", "a", "b"},
      {"verify", "a", "-o", "b"},
      {"extract", "a"},
      {"medium", "kit"},
      {"medium", "kit", "out", "--label", "KIT"},
      {"image", "kit", "--setup", "SETUP.EXE"},
      {"compress", "a", "-x", "b"},
      {"compress", "a", "-o", "b", "--codepage", "1252"},
      {"pack", "tree", "-o", "a", "--codepage", "1258"},
      {"list", "a", "--codepage", "cp1252"},
      {"verify", "a", "--codepage"},
      {"medium", "kit", "out", "--jobs", "0"},
      {"medium", "kit", "out", "--jobs", "two"},
      {"compress", "a", "-o", "b", "--jobs", "65"},
      {"pack", "tree", "-o", "a", "--jobs", "2"},
      {"verify", "a", "--jobs", "2"},
  };
  for (const auto& args : cases) {
    Outcome run = Kitpack(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("Usage"), std::string::npos) << testing::PrintToString(args);
  }
}

TEST_F(KitpackTest, MediumThenVerifyListAndExtract) {
  fs::path kit = MakeKit("kit");
  WriteFile(dir_ / "SETUP.EXE", "MZ setup");
  fs::path medium = dir_ / "medium";
  Outcome made = Kitpack({"medium", kit.string(), medium.string(), "--setup", (dir_ / "SETUP.EXE").string()});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(Others(medium, {"DATA.CMP", "LICENSE.TXT", "README.TXT", "SHELLINK.DAT", "SETUP.EXE"}),
            std::vector<std::string>{});
  for (const char* text : {"LICENSE.TXT", "README.TXT", "SHELLINK.DAT"}) {
    EXPECT_EQ(ReadFile(medium / text), ReadFile(kit / text)) << text;
  }
  EXPECT_EQ(ReadFile(medium / "SETUP.EXE"), "MZ setup");
  EXPECT_EQ(ReadFile(medium / "DATA.CMP").substr(0, 4), "SZDD");
  EXPECT_EQ(ReadFile(medium / "DATA.CMP")[9], 'X') << "the payload expands to DATA.VNX";

  fs::path payload = medium / "DATA.CMP";
  Outcome verified = Kitpack({"verify", payload.string()});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_NE(verified.out.find("5 entries"), std::string::npos) << verified.out;

  Outcome listed = Kitpack({"list", payload.string()});
  ASSERT_EQ(listed.status, 0) << listed.err;
  // Sorted by name; offsets follow from the sizes.
  EXPECT_NE(listed.out.find("           0          547  BIN\\EMPTY.DAT\n"
                            "       64257         1071  BIN\\QCC.EXE\n"),
            std::string::npos)
      << listed.out;
  EXPECT_NE(listed.out.find("INCLUDE\\SYS\\TYPES.H"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("\nchecked: "), std::string::npos) << "the archive kitpack made carries its CRCs";

  fs::path out = dir_ / "out";
  Outcome extracted = Kitpack({"extract", payload.string(), "-C", out.string()});
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(TreeContents(out), TreeContents(kit / "files"));

  // The plain archive from pack is what the payload expands to.
  fs::path archive = dir_ / "DATA.VNX";
  Outcome packed = Kitpack({"pack", (kit / "files").string(), "-o", archive.string()});
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(Kitpack({"verify", archive.string()}).status, 0);
  if (std::system("command -v msexpand >/dev/null") == 0) {
    fs::path expanded = dir_ / "expanded";
    ASSERT_EQ(std::system(("msexpand <" + Quote(payload.string()) + " >" + Quote(expanded.string())).c_str()), 0);
    EXPECT_TRUE(ReadFile(expanded) == ReadFile(archive)) << "msexpand gives back the packed archive";
  }

  fs::path compressed = dir_ / "AGAIN.CMP";
  Outcome again = Kitpack({"compress", archive.string(), "-o", compressed.string()});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(Kitpack({"verify", compressed.string()}).status, 0);
}

// Without --setup, medium and image write the SETUP.EXE that kitpack
// carries, the one whose size and CRC-32 --version prints.
TEST_F(KitpackTest, MediumAndImageCarryTheSetupThatVersionNames) {
  fs::path kit = MakeKit("kit");
  Outcome made = Kitpack({"medium", kit.string(), (dir_ / "medium").string()});
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string carried = ReadFile(dir_ / "medium/SETUP.EXE");
  ASSERT_EQ(carried.substr(0, 2), "MZ") << "the medium has no Windows program as SETUP.EXE";
  char identity[128];
  std::snprintf(identity, sizeof identity, "kitpack %s\nSETUP.EXE carried: %zu bytes, CRC-32 %08lx\n", KITPACK_VERSION,
                carried.size(), crc32(0, reinterpret_cast<const Bytef*>(carried.data()), carried.size()));
  Outcome version = Kitpack({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, identity);

  fs::path image = dir_ / "KIT.ISO";
  made = Kitpack({"image", kit.string(), image.string()});
  ASSERT_EQ(made.status, 0) << made.err;
  Outcome setup = Shell("isoinfo -i " + Quote(image.string()) + " -x '/SETUP.EXE;1'");
  EXPECT_EQ(setup.status, 0) << setup.err;
  EXPECT_TRUE(setup.out == carried) << "the image's SETUP.EXE is not the one kitpack carries";
}

TEST_F(KitpackTest, SameKitGivesTheSamePayload) {
  fs::path first = MakeKit("first");
  fs::path second = MakeKit("second", true);
  ASSERT_EQ(Kitpack({"medium", first.string(), (dir_ / "m1").string()}).status, 0);
  ASSERT_EQ(Kitpack({"medium", second.string(), (dir_ / "m2").string()}).status, 0);
  EXPECT_TRUE(ReadFile(dir_ / "m1/DATA.CMP") == ReadFile(dir_ / "m2/DATA.CMP"));
}

// A kit of several of the compressor's blocks (a megabyte each): its payload
// is the same whatever the number of jobs, expands through msexpand to the
// archive that pack writes, and list, verify and extract read it as a
// stream.
TEST_F(KitpackTest, PayloadIsTheSameForAnyJobs) {
  fs::path kit = MakeKit("kit");
  std::string large;
  for (unsigned part = 0; large.size() < (3u << 20) + 100; ++part) {
    large += part % 3 == 0 ? Pattern(20000, part) : std::string(20000, static_cast<char>('a' + part % 26));
  }
  WriteFile(kit / "files/LIB/LARGE.LIB", large);
  std::string payload;
  for (const char* jobs : {"1", "2", "5"}) {
    fs::path medium = dir_ / ("medium-" + std::string(jobs));
    Outcome made = Kitpack({"medium", kit.string(), medium.string(), "--jobs", jobs});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string bytes = ReadFile(medium / "DATA.CMP");
    if (payload.empty()) payload = bytes;
    EXPECT_TRUE(bytes == payload) << "--jobs " << jobs << " gives another payload";
  }
  fs::path archive = dir_ / "DATA.VNX";
  ASSERT_EQ(Kitpack({"pack", (kit / "files").string(), "-o", archive.string()}).status, 0);
  const fs::path cmp = dir_ / "medium-2/DATA.CMP";
  ASSERT_EQ(Shell("msexpand <" + Quote(cmp.string()) + " >" + Quote((dir_ / "expanded").string())).status, 0);
  EXPECT_TRUE(ReadFile(dir_ / "expanded") == ReadFile(archive)) << "msexpand does not give the packed archive back";
  fs::path again = dir_ / "AGAIN.CMP";
  ASSERT_EQ(Kitpack({"compress", archive.string(), "-o", again.string(), "--jobs", "3"}).status, 0);
  EXPECT_TRUE(ReadFile(again).substr(14) == payload.substr(14)) << "compress and medium give other tokens";

  Outcome listed = Kitpack({"list", cmp.string()});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_NE(listed.out.find("LIB\\LARGE.LIB\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("6 entries"), std::string::npos) << listed.out;
  Outcome extracted = Kitpack({"extract", cmp.string(), "-C", (dir_ / "out").string()});
  ASSERT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(TreeContents(dir_ / "out"), TreeContents(kit / "files"));
}

// A payload whose stream breaks, or that expands to another length than its
// header declares, is told as such by list, verify and extract, which
// write nothing from it.
TEST_F(KitpackTest, BrokenPayloadsAreToldAsSuch) {
  fs::path kit = MakeKit("kit");
  ASSERT_EQ(Kitpack({"medium", kit.string(), (dir_ / "medium").string()}).status, 0);
  const std::string good = ReadFile(dir_ / "medium/DATA.CMP");
  std::string longer = good, shorter = good;
  longer[10] = static_cast<char>(longer[10] + 1);
  shorter[10] = static_cast<char>(shorter[10] - 1);
  struct {
    const char* why;
    std::string bytes;
    const char* problem;
  } rows[] = {
      {"cut short in its tokens", good.substr(0, good.size() / 2),
       "the compressed payload does not expand: stream expands to"},
      {"declaring a byte more than it expands to", longer, "does not expand: stream expands to"},
      {"declaring a byte less than it expands to", shorter, "does not expand: stream expands past"},
      {"only the header's first bytes", good.substr(0, 10), "shorter than the SZDD header"},
  };
  for (const auto& row : rows) {
    fs::path file = dir_ / "BROKEN.CMP";
    WriteFile(file, row.bytes);
    for (std::vector<std::string> args :
         {std::vector<std::string>{"list", file.string()}, std::vector<std::string>{"verify", file.string()},
          std::vector<std::string>{"extract", file.string(), "-C", (dir_ / "out").string()}}) {
      Outcome run = Kitpack(args);
      EXPECT_EQ(run.status, 1) << row.why << ": " << args[0];
      EXPECT_NE(run.err.find(file.string() + ": "), std::string::npos) << row.why << ": " << args[0] << ": " << run.err;
      EXPECT_NE(run.err.find(row.problem), std::string::npos) << row.why << ": " << args[0] << ": " << run.err;
      EXPECT_FALSE(fs::exists(dir_ / "out")) << row.why << ": " << args[0];
    }
  }
}

// What the C++ library throws ends as kitpack's own failure, naming the step
// under way, never as an abort: here the current directory is gone, and the
// image's volume label is to come from a kit folder named relative to it.
TEST_F(KitpackTest, UnforeseenFailuresAreToldNotAborted) {
  MakeKit("kit");
  WriteFile(dir_ / "SETUP.EXE", "MZ setup");
  fs::create_directories(dir_ / "gone");
  Outcome run =
      Kitpack({"image", "../kit", "../QV.ISO", "--setup", "../SETUP.EXE"},
              "cd " + Quote((dir_ / "gone").string()) + " && rmdir " + Quote((dir_ / "gone").string()) + " &&");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err,
            "kitpack: taking the volume label from the kit folder's name: ../kit: No such file or directory\n");
  EXPECT_EQ(run.err.find("terminate"), std::string::npos) << run.err;
  EXPECT_EQ(Others(dir_, {"kit", "SETUP.EXE"}), std::vector<std::string>{});
}

TEST_F(KitpackTest, FailuresNameTheFileAndLeaveNoOutput) {
  fs::path kit = MakeKit("kit");
  fs::path medium = dir_ / "medium";
  WriteFile(medium / "DATA.CMP", "previous payload");
  fs::remove(kit / "README.TXT");
  Outcome noReadme = Kitpack({"medium", kit.string(), medium.string()});
  EXPECT_EQ(noReadme.status, 1);
  EXPECT_NE(noReadme.err.find("README.TXT"), std::string::npos) << noReadme.err;
  EXPECT_EQ(ReadFile(medium / "DATA.CMP"), "previous payload");
  EXPECT_EQ(Others(medium, {"DATA.CMP"}), std::vector<std::string>{});

  WriteFile(kit / "README.TXT", "back");
  fs::create_symlink("/etc/hostname", kit / "files/BIN/LINK");
  Outcome link = Kitpack({"medium", kit.string(), medium.string()});
  EXPECT_EQ(link.status, 1);
  EXPECT_NE(link.err.find("BIN/LINK: a symbolic link"), std::string::npos) << link.err;
  EXPECT_EQ(ReadFile(medium / "DATA.CMP"), "previous payload");
  EXPECT_EQ(Others(medium, {"DATA.CMP"}), std::vector<std::string>{});

  fs::path archive = dir_ / "DATA.VNX";
  Outcome pack = Kitpack({"pack", (kit / "files").string(), "-o", archive.string()});
  EXPECT_EQ(pack.status, 1);
  EXPECT_NE(pack.err.find("LINK"), std::string::npos) << pack.err;
  EXPECT_FALSE(fs::exists(archive));

  Outcome setup = Kitpack({"medium", kit.string(), medium.string(), "--setup", (dir_ / "NOSETUP.EXE").string()});
  EXPECT_EQ(setup.status, 1);
  EXPECT_NE(setup.err.find("NOSETUP.EXE: no such file"), std::string::npos) << setup.err;
  // A medium whose setup program cannot start is no medium.
  WriteFile(dir_ / "SETUP.TXT", "setup notes");
  Outcome notProgram = Kitpack({"medium", kit.string(), medium.string(), "--setup", (dir_ / "SETUP.TXT").string()});
  EXPECT_EQ(notProgram.status, 1);
  EXPECT_NE(notProgram.err.find("SETUP.TXT: not a Windows program"), std::string::npos) << notProgram.err;
  EXPECT_EQ(Others(medium, {"DATA.CMP"}), std::vector<std::string>{});

  Outcome missing = Kitpack({"compress", (dir_ / "absent").string(), "-o", (dir_ / "out.cmp").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("absent: no such file"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(dir_ / "out.cmp"));

  Outcome noDir = Kitpack({"pack", (kit / "files").string(), "-o", (dir_ / "nowhere/DATA.VNX").string()});
  EXPECT_EQ(noDir.status, 1);

  // Refused from its size alone (a sparse file), before any of it is read.
  fs::path huge = dir_ / "HUGE.VNX";
  WriteFile(huge, "");
  fs::resize_file(huge, 2147483648ull);
  Outcome tooBig = Kitpack({"compress", huge.string(), "-o", (dir_ / "HUGE.CMP").string()});
  EXPECT_EQ(tooBig.status, 1);
  EXPECT_NE(tooBig.err.find("HUGE.VNX: 2147483648 bytes"), std::string::npos) << tooBig.err;
  EXPECT_FALSE(fs::exists(dir_ / "HUGE.CMP"));

  // A pipe is refused rather than read, which would block.
  ASSERT_EQ(::mkfifo((dir_ / "PIPE").c_str(), 0644), 0);
  for (const char* command : {"verify", "list"}) {
    Outcome pipe = Kitpack({command, (dir_ / "PIPE").string()});
    EXPECT_EQ(pipe.status, 1) << command;
    EXPECT_NE(pipe.err.find("PIPE: not a regular file"), std::string::npos) << command << ": " << pipe.err;
  }
}

TEST_F(KitpackTest, BrokenArchivesAreReportedAndNotExtracted) {
  std::string good = Header() + Entry("A.TXT", "alpha") + Entry("DIR\\B.TXT", "beta");
  // An SZDD header promising 16 bytes, then a flag byte and three literals.
  const char garbage[] =
      "SZDD\x88\xf0\x27\x33"
      "A"
      "X"
      "\x10\x00\x00\x00"
      "\xff"
      "abc";
  std::string payloadGarbage(garbage, sizeof garbage - 1);
  struct {
    const char* why;
    std::string bytes;
    const char* problem;
  } cases[] = {
      {"truncated data", good.substr(0, good.size() - 2), "runs past the end"},
      {"trailing bytes", good + "zz", "2 bytes left over"},
      {"wrong access name", Header("QUENVAR") + Entry("A", "x"), "access name"},
      {"path outside the directory", Header() + Entry("OK.TXT", "x") + Entry("..\\..\\ESCAPE.TXT", "x"),
       "a component ends in a dot"},
      {"device", Header() + Entry("CON.TXT", "x"), "named like a device"},
      {"not an archive at all", "hello", "shorter than the 23-byte header"},
      {"payload that does not expand", payloadGarbage, "does not expand"},
      {"checked archive with a damaged data byte", CheckedArchiveWithDamagedData(),
       "entry 1 \"DIR\\B.TXT\": data CRC mismatch"},
  };
  for (const auto& c : cases) {
    fs::path file = dir_ / "BROKEN.VNX";
    WriteFile(file, c.bytes);
    Outcome verify = Kitpack({"verify", file.string()});
    EXPECT_EQ(verify.status, 1) << c.why;
    EXPECT_NE(verify.err.find(file.string() + ": "), std::string::npos) << c.why << ": " << verify.err;
    EXPECT_NE(verify.err.find(c.problem), std::string::npos) << c.why << ": " << verify.err;

    fs::path out = dir_ / "out";
    Outcome extract = Kitpack({"extract", file.string(), "-C", out.string()});
    EXPECT_EQ(extract.status, 1) << c.why;
    EXPECT_FALSE(fs::exists(out)) << c.why << ": nothing is written from an archive that fails verification";
    EXPECT_FALSE(fs::exists(dir_ / "ESCAPE.TXT"));
  }
  Outcome list = Kitpack({"list", (dir_ / "absent.vnx").string()});
  EXPECT_EQ(list.status, 1);
  EXPECT_NE(list.err.find("absent.vnx: no such file"), std::string::npos) << list.err;
}

TEST_F(KitpackTest, ExtractRefusesASymbolicLinkInTheWay) {
  fs::path file = dir_ / "DATA.VNX";
  WriteFile(file, Header() + Entry("SUB\\F.TXT", "x"));
  fs::path out = dir_ / "out";
  fs::create_directories(out);
  fs::create_directory_symlink(dir_ / "elsewhere", out / "SUB");
  fs::create_directories(dir_ / "elsewhere");
  Outcome run = Kitpack({"extract", file.string(), "-C", out.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a symbolic link is in the way"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir_ / "elsewhere/F.TXT"));
}

// The shortcut list against the kit's tree (BIN\QCC.EXE, BIN\EMPTY.DAT,
// INCLUDE\SYS\TYPES.H, README.1ST, LIB\q98.lib), by medium before anything
// is written and by verify on the medium folder.
TEST_F(KitpackTest, ShortcutListIsCheckedAgainstTheTree) {
  const std::string n600(600, 'n');
  struct {
    const char* why;
    std::string list;
    int status;
    const char* message;  // in the error output; "" for none at all
  } rows[] = {
      {"files and directories of the tree, in any case, with either separator and a trailing backslash",
       "[progman.groups]\r\ngroup0=Quenvar 98\r\n[group0]\r\n(Compiler,\\BIN\\QCC.EXE,\\BIN\r\n"
       "(Headers,\\include\\sys\\,\\INCLUDE\r\n(Runtime,\\LIB/Q98.LIB,\\LIB\r\n(Root,\\,\r\n(Last,\\README.1ST,\\",
       0, ""},
      {"a second field naming nothing the kit installs", "[g]\r\n(X,\\BIN\\QCC.EX,\\BIN\r\n", 1,
       "SHELLINK.DAT: line 2, second field: \"\\BIN\\QCC.EX\" is not a file or directory that the kit installs"},
      {"a second field without its leading backslash", "(X,BIN\\QCC.EXE,\\BIN\r\n", 1,
       "line 1, second field: \"BIN\\QCC.EXE\" does not begin with a backslash, so the installer would make it "
       "C:\\QUENV98BIN\\QCC.EXE"},
      {"two commas in a row move the comma into the second field", "(X,,\\BIN\\QCC.EXE,\\BIN\r\n", 1,
       "line 1, second field: \",\\BIN\\QCC.EXE\" does not begin with a backslash"},
      {"no third field", "[g]\r\n\r\n(X,\\BIN\\QCC.EXE\r\n", 1, "line 3: has only two fields"},
      {"no second field", "(X\r\n", 1, "line 1: has only one field"},
      {"no field at all", "(", 1, "line 1: has no field"},
      {"an item line that setup reads in two pieces", "(" + n600 + ",\\BIN\\QCC.EXE,\\BIN\r\n", 1,
       "line 1: longer than 499 characters; the installer converts only its first 499"},
      {"a long line whose second piece setup takes for an item line", std::string(499, 'r') + "(X,\\a,\\b\r\n", 1,
       "line 1: longer than 499 characters, and at character 500"},
      {"a long line that setup copies back whole", std::string(1200, 'r') + "\r\n", 0, ""},
      {"a third path too long below C:\\QUENV98", "(X,\\BIN\\QCC.EXE,\\" + std::string(249, 'x') + "\r\n", 1,
       "line 1, third field: the path is longer than 259 characters below C:\\QUENV98"},
  };
  fs::path goodMedium = dir_ / "good-medium";
  ASSERT_EQ(Kitpack({"medium", MakeKit("good-kit").string(), goodMedium.string()}).status, 0);
  for (const auto& row : rows) {
    fs::path kit = MakeKit("kit");
    WriteFile(kit / "SHELLINK.DAT", row.list);
    fs::path medium = dir_ / "medium";
    Outcome made = Kitpack({"medium", kit.string(), medium.string()});
    EXPECT_EQ(made.status, row.status) << row.why << ": " << made.err;
    if (row.message[0] == '\0') {
      EXPECT_EQ(made.err, "") << row.why;
    } else {
      EXPECT_NE(made.err.find(row.message), std::string::npos) << row.why << ": " << made.err;
      EXPECT_NE(made.err.find((kit / "SHELLINK.DAT").string() + ": line "), std::string::npos) << row.why;
    }
    if (row.status != 0) {
      EXPECT_FALSE(fs::exists(medium)) << row.why << ": nothing is written";
    }
    fs::remove_all(medium);
    fs::remove_all(kit);

    WriteFile(goodMedium / "SHELLINK.DAT", row.list);
    Outcome verified = Kitpack({"verify", goodMedium.string()});
    EXPECT_EQ(verified.status, row.status) << row.why << ": " << verified.err;
    EXPECT_NE(verified.err.find(row.message), std::string::npos) << row.why << ": " << verified.err;
  }
}

TEST_F(KitpackTest, ShortcutListNotesWhatOnlyALongerDirectoryOrAnOddLineWouldBreak) {
  struct {
    const char* why;
    std::string list;
    const char* note;
  } rows[] = {
      // 201 characters after the directory: 259 is reached past 58, and
      // every entry of the kit fits below up to 246 - 11, where the
      // directory INCLUDE\SYS reaches the 247 of a directory's path.
      {"a third path that only a longer directory makes too long",
       "(X,\\BIN\\QCC.EXE,\\" + std::string(200, 'x') + "\r\n",
       "line 1, third field: the path is longer than 259 characters below an installation directory of more than 58 "
       "characters; the kit installs below one of up to 235"},
      {"a \")\" at the end belongs to the third field", "(X,\\BIN\\QCC.EXE,\\BIN)\r\n",
       "line 1, third field: \"\\BIN)\" is not a file or directory that the kit installs"},
      {"an empty first field", "(,\\BIN\\QCC.EXE,\\BIN\r\n", "line 1, first field: empty"},
      {"a blank before the \"(\"", " (X,\\BIN\\QCC.EXE,\\BIN\r\n", "line 1: \"(\" after a blank"},
      {"a Ctrl+Z with shortcuts after it", "(X,\\BIN\\QCC.EXE,\\BIN\r\n\x1a(Y,\\nothing,\\\r\n",
       "line 2: a Ctrl+Z (0x1A) ends the list for the installer"},
  };
  for (const auto& row : rows) {
    fs::path kit = MakeKit("kit");
    WriteFile(kit / "SHELLINK.DAT", row.list);
    Outcome made = Kitpack({"medium", kit.string(), (dir_ / "medium").string()});
    EXPECT_EQ(made.status, 0) << row.why << ": " << made.err;
    EXPECT_NE(made.err.find(std::string("kitpack: note: ") + (kit / "SHELLINK.DAT").string() + ": " + row.note),
              std::string::npos)
        << row.why << ": " << made.err;
    fs::remove_all(dir_ / "medium");
    fs::remove_all(kit);
  }
}

TEST_F(KitpackTest, VerifyOfAMediumFolderNeedsItsTexts) {
  fs::path medium = dir_ / "medium";
  ASSERT_EQ(Kitpack({"medium", MakeKit("kit").string(), medium.string()}).status, 0);
  Outcome whole = Kitpack({"verify", medium.string()});
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_NE(whole.out.find(": medium, 5 entries"), std::string::npos) << whole.out;
  for (const char* name : {"SHELLINK.DAT", "README.TXT", "DATA.CMP"}) {
    fs::rename(medium / name, dir_ / name);
    Outcome missing = Kitpack({"verify", medium.string()});
    EXPECT_EQ(missing.status, 1) << name;
    EXPECT_NE(missing.err.find((medium / name).string() + ": no such file"), std::string::npos) << missing.err;
    fs::rename(dir_ / name, medium / name);
  }
}

// Names outside ASCII travel in the code page that --codepage names, 1252
// unless it is given, and come back from extract as they were.
TEST_F(KitpackTest, NamesTravelInTheCodePageAndExtractGivesThemBack) {
  struct {
    const char* page;                                        // --codepage, or "" for the default
    std::vector<std::pair<std::string, std::string>> files;  // UTF-8 path below the tree, and the name stored
  } rows[] = {
      {"",
       {{"DOC/Café.txt", "DOC\\Caf\xE9.txt"},
        {"DOC/Œuvres/€uro — 5.txt", "DOC\\\x8Cuvres\\\x80uro \x97 5.txt"},
        {"ÿ.txt", "\xFF.txt"}}},
      {"1251",
       {{"Документы/Привет.txt", "\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xFB\\\xCF\xF0\xE8\xE2\xE5\xF2.txt"},
        {"Ёлка.txt", "\xA8\xEB\xEA\xE0.txt"}}},
      {"932", {{"資料/ア.txt", "\x8E\x91\x97\xBF\\\x83\x41.txt"}}},
      // Second bytes 0x5C: ソ, 表, 能, 十 and 予 in 932, 乗 in 936, 功 and 許 in
      // 950. A name holds them like any other character.
      {"932",
       {{"ソフトウェア/表示.txt", "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41\\\x95\x5C\x8E\xA6.txt"},
        {"能力.txt", "\x94\x5C\x97\xCD.txt"},
        {"十予定.txt", "\x8F\x5C\x97\x5C\x92\xE8.txt"},
        {"ｿﾌﾄ.txt", "\xBF\xCC\xC4.txt"}}},
      {"936", {{"乗/乗.txt", "\x81\x5C\\\x81\x5C.txt"}}},
      {"950", {{"軟體/功能.txt", "\xB3\x6E\xC5\xE9\\\xA5\x5C\xAF\xE0.txt"}, {"許可.txt", "\xB3\x5C\xA5\x69.txt"}}},
  };
  for (const auto& row : rows) {
    fs::path tree = dir_ / "tree";
    fs::remove_all(tree);
    for (const auto& [path, stored] : row.files) WriteFile(tree / path, "data of " + path);
    std::vector<std::string> page;
    if (row.page[0] != '\0') page = {"--codepage", row.page};
    auto with = [&](std::vector<std::string> args) {
      args.insert(args.end(), page.begin(), page.end());
      return args;
    };
    fs::path archive = dir_ / "DATA.VNX";
    Outcome packed = Kitpack(with({"pack", tree.string(), "-o", archive.string()}));
    ASSERT_EQ(packed.status, 0) << row.page << ": " << packed.err;
    const std::string bytes = ReadFile(archive);
    Outcome listed = Kitpack(with({"list", archive.string()}));
    EXPECT_EQ(listed.status, 0) << listed.err;
    for (const auto& [path, stored] : row.files) {
      EXPECT_NE(bytes.find(StoredName(stored) + '\0'), std::string::npos) << row.page << ": " << path << " as stored";
      std::string shown = path;
      std::replace(shown.begin(), shown.end(), '/', '\\');
      EXPECT_NE(listed.out.find("  " + shown + "\n"), std::string::npos) << row.page << ": " << listed.out;
    }
    EXPECT_EQ(Kitpack(with({"verify", archive.string()})).status, 0) << row.page;
    fs::path out = dir_ / "out";
    fs::remove_all(out);
    Outcome extracted = Kitpack(with({"extract", archive.string(), "-C", out.string()}));
    ASSERT_EQ(extracted.status, 0) << row.page << ": " << extracted.err;
    EXPECT_EQ(TreeContents(out), TreeContents(tree)) << row.page;
  }
}

// Names that the code page cannot write, or that one Windows folder cannot
// hold side by side as it folds case, are refused naming the file and the
// reason, and no archive appears; names that only look alike pack.
TEST_F(KitpackTest, NamesTheCodePageCannotTakeAreRefused) {
  // Д is 0xC4 in 1251, which the format cannot store at index 23 of a name:
  // an Е stands there.
  auto cyrillic = [](int letters, int storedAt) {
    std::string name;
    for (int i = storedAt; i < storedAt + letters; ++i) name += i == 23 ? "Е" : "Д";
    return name;
  };
  const std::string twoDirectories = cyrillic(100, 0) + "/" + cyrillic(100, 101) + "/";
  struct {
    const char* why;
    const char* page;
    std::vector<std::string> files;  // UTF-8 paths below the tree
    const char* message;             // after the offending file's path; "" when the tree packs
  } rows[] = {
      {"a character the code page lacks",
       "1252",
       {"日本.txt"},
       "日本.txt: the name holds U+65E5 (日), which code page 1252 lacks"},
      {"a name that is not UTF-8", "1252", {"Caf\xE9.txt"}, "Caf\xE9.txt: the name is not valid UTF-8 (byte 4)"},
      {"accented letters that differ only in case",
       "1252",
       {"Ärger.txt", "ärger.txt"},
       "ärger.txt: differs only in case from \"Ärger.txt\": Windows would write both to one file"},
      {"Cyrillic letters that differ only in case",
       "1251",
       {"Ёлка.txt", "ёлка.txt"},
       "ёлка.txt: differs only in case from \"Ёлка.txt\""},
      {"a file that another name needs as a directory",
       "1252",
       {"Übung", "übung/x"},
       "übung/x: needs \"Übung\" as a directory, but it is a file"},
      {"260 bytes in 1251 (515 in UTF-8)",
       "1251",
       {twoDirectories + cyrillic(58, 202)},
       ": the name has 260 bytes; an entry name has at most 259"},
      {"248 bytes in 1251 fit below C:\\QUENV98, however long in UTF-8",
       "1251",
       {twoDirectories + cyrillic(46, 202)},
       ""},
      {"249 bytes in 1251 do not",
       "1251",
       {twoDirectories + cyrillic(47, 202)},
       ": joined to the installation directory, the path is longer than 259 characters (below C:\\QUENV98)"},
      {"a box-drawing character that 950 holds twice",
       "950",
       {"表/═.txt"},
       "表/═.txt: the name holds U+2550 (═), which code page 950 writes in two ways (0xA2 0xA4 and 0xF9 0xF9)"},
      {"a file whose last byte is 0x5C that another name needs as a directory",
       "932",
       {"Ｑ表", "ｑ表/x"},
       "ｑ表/x: needs \"Ｑ表\" as a directory, but it is a file"},
      {"micro sign and Greek Mu are two letters", "1253", {"µ.txt", "Μ.txt"}, ""},
      {"dotless ı and dotted İ are letters of their own", "1254", {"ı.txt", "I.txt", "İ.txt"}, ""},
  };
  for (const auto& row : rows) {
    fs::path tree = dir_ / "tree";
    fs::remove_all(tree);
    for (const std::string& file : row.files) WriteFile(tree / file, "x");
    fs::path archive = dir_ / "DATA.VNX";
    Outcome run = Kitpack({"pack", tree.string(), "-o", archive.string(), "--codepage", row.page});
    if (row.message[0] == '\0') {
      EXPECT_EQ(run.status, 0) << row.why << ": " << run.err;
      fs::remove(archive);
      continue;
    }
    EXPECT_EQ(run.status, 1) << row.why;
    EXPECT_NE(run.err.find("kitpack: " + tree.string() + "/"), std::string::npos) << row.why << ": " << run.err;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << row.why << ": " << run.err;
    EXPECT_EQ(Others(dir_, {"tree"}), std::vector<std::string>{}) << row.why << ": no output, not even a temporary";
  }
}

// The texts beside SETUP.EXE go into the medium in the code page, and
// medium says what it did with each.
TEST_F(KitpackTest, MediumWritesItsTextsInTheCodePage) {
  struct {
    const char* why;
    std::string licence;  // LICENSE.TXT in the kit
    std::string written;  // in the medium; "" when medium refuses
    const char* said;     // in the output: what was done, or the problem
  } rows[] = {
      {"UTF-8 past ASCII is converted", "Licence — Œuvre\r\n", "Licence \x97 \x8Cuvre\r\n",
       "LICENSE.TXT: converted from UTF-8 into code page 1252\n"},
      {"a byte-order mark is dropped",
       "\xEF\xBB\xBF"
       "Café\r\n",
       "Caf\xE9\r\n", "LICENSE.TXT: converted from UTF-8 into code page 1252, its byte-order mark dropped\n"},
      {"plain ASCII stays", "Licence\r\n", "Licence\r\n", "LICENSE.TXT: plain ASCII, copied as it is\n"},
      {"a text already in the code page stays", "Licence \xA9 \x80\r\n", "Licence \xA9 \x80\r\n",
       "LICENSE.TXT: not UTF-8, copied as it is (taken to be in code page 1252 already)\n"},
      {"a character the code page lacks", "Licence\r\nSee 日本\r\n", "",
       "LICENSE.TXT: line 2, column 5: U+65E5 (日), which code page 1252 lacks"},
  };
  for (const auto& row : rows) {
    fs::path kit = MakeKit("kit");
    WriteFile(kit / "LICENSE.TXT", row.licence);
    fs::path medium = dir_ / "medium";
    Outcome made = Kitpack({"medium", kit.string(), medium.string()});
    if (row.written.empty()) {
      EXPECT_EQ(made.status, 1) << row.why;
      EXPECT_NE(made.err.find(row.said), std::string::npos) << row.why << ": " << made.err;
      EXPECT_FALSE(fs::exists(medium)) << row.why;
    } else {
      EXPECT_EQ(made.status, 0) << row.why << ": " << made.err;
      EXPECT_EQ(ReadFile(medium / "LICENSE.TXT"), row.written) << row.why;
      EXPECT_NE(made.out.find(row.said), std::string::npos) << row.why << ": " << made.out;
    }
    fs::remove_all(medium);
    fs::remove_all(kit);
  }
}

// The shortcut list is checked as setup will read it: converted, against the
// names as stored, case folded as the code page's letters fold, its limits
// on the converted bytes. In 932 a path may end in the second byte of 表,
// 0x5C, which is no backslash: the field names the directory 表 itself, as
// it does with a real backslash after it.
TEST_F(KitpackTest, ShortcutListIsCheckedInTheCodePage) {
  std::string e240;
  for (int i = 0; i < 240; ++i) e240 += "é";
  const std::string explanation = "\x90\xE0\x96\xBE";             // 説明
  const std::string folder = "\x83\x5C\x83\x74\x83\x67\x95\x5C";  // ソフト表
  struct {
    const char* why;
    std::string list;     // UTF-8
    std::string written;  // SHELLINK.DAT in the medium; "" when medium refuses
    const char* problem;
    const char* page = "1252";
    const char* file = "DOC/Café.txt";  // the one file below files/
  } rows[] = {
      {"a shortcut to a file with an accent, spelt in capitals", "(Café,\\DOC\\CAFÉ.TXT,\\Doc\r\n",
       "(Caf\xE9,\\DOC\\CAF\xC9.TXT,\\Doc\r\n", ""},
      {"a third path of 241 characters fits below C:\\QUENV98 in 1252, though 481 bytes in UTF-8",
       "(Long,\\DOC\\Café.txt,\\" + e240 + "\r\n", "(Long,\\DOC\\Caf\xE9.txt,\\" + std::string(240, '\xE9') + "\r\n",
       ""},
      {"a file the kit does not hold", "(Cafe,\\DOC\\Cafè.txt,\\DOC\r\n", "",
       "line 1, second field: \"\\DOC\\Cafè.txt\" is not a file or directory that the kit installs"},
      {"a directory whose last byte is 0x5C", "(説明,\\ソフト表,\\ソフト表\r\n",
       "(" + explanation + ",\\" + folder + ",\\" + folder + "\r\n", "", "932", "ソフト表/ｒｅａｄ.txt"},
      {"the same with a backslash after it", "(説明,\\ソフト表\\,\\ソフト表\\\r\n",
       "(" + explanation + ",\\" + folder + "\\,\\" + folder + "\\\r\n", "", "932", "ソフト表/ｒｅａｄ.txt"},
      {"a file in it, in other case", "(説明,\\ソフト表\\ＲＥＡＤ.txt,\\ソフト表\r\n",
       "(" + explanation + ",\\" + folder + "\\\x82\x71\x82\x64\x82\x60\x82\x63.txt,\\" + folder + "\r\n", "", "932",
       "ソフト表/ｒｅａｄ.txt"},
      {"a directory the kit does not hold", "(説明,\\ソフ表,\\ソフト表\r\n", "",
       "line 1, second field: \"\\ソフ表\" is not a file or directory that the kit installs", "932",
       "ソフト表/ｒｅａｄ.txt"},
  };
  for (const auto& row : rows) {
    fs::path kit = MakeKit("kit");
    WriteFile(kit / "files" / row.file, "x");
    WriteFile(kit / "SHELLINK.DAT", row.list);
    fs::path medium = dir_ / "medium";
    Outcome made = Kitpack({"medium", kit.string(), medium.string(), "--codepage", row.page});
    if (row.written.empty()) {
      EXPECT_EQ(made.status, 1) << row.why;
      EXPECT_NE(made.err.find(row.problem), std::string::npos) << row.why << ": " << made.err;
    } else {
      ASSERT_EQ(made.status, 0) << row.why << ": " << made.err;
      EXPECT_EQ(ReadFile(medium / "SHELLINK.DAT"), row.written) << row.why;
      Outcome verified = Kitpack({"verify", medium.string(), "--codepage", row.page});
      EXPECT_EQ(verified.status, 0) << row.why << ": " << verified.err;
    }
    fs::remove_all(medium);
    fs::remove_all(kit);
  }
}

// list, verify and extract read names in the code page they are given; an
// archive for another one is found out rather than written under wrong names.
TEST_F(KitpackTest, ArchivesAreReadInTheirCodePage) {
  fs::path tree = dir_ / "tree";
  WriteFile(tree / "Ѓ.txt", "x");  // 0x81 in 1251, which 1252 leaves unassigned
  fs::path archive = dir_ / "DATA.VNX";
  ASSERT_EQ(Kitpack({"pack", tree.string(), "-o", archive.string(), "--codepage", "1251"}).status, 0);
  fs::path japanese = dir_ / "JAPAN.VNX";
  WriteFile(japanese, Header() + Entry("\x95\x5C\\\x95\x5C.txt", "x"));  // 表\表.txt written as it is
  fs::path cut = dir_ / "CUT.VNX";
  WriteFile(cut, Header() + Entry("A\x83", "x"));
  struct {
    const char* why;
    std::vector<std::string> args;
    int status;
    const char* said;  // in the output or the errors
  } rows[] = {
      {"listed in its code page", {"list", archive.string(), "--codepage", "1251"}, 0, "  Ѓ.txt\n"},
      {"listed in another: the byte shown as it is", {"list", archive.string()}, 0, "  \\x81.txt\n"},
      {"verified in its code page", {"verify", archive.string(), "--codepage", "1251"}, 0, ": OK"},
      {"verified in another",
       {"verify", archive.string()},
       1,
       "entry 0 \"\\x81.txt\": the name is not text in code page 1252 (an archive for another code page needs "
       "--codepage)"},
      {"extracted in another", {"extract", archive.string(), "-C", (dir_ / "out").string()}, 1, "not text"},
      {"second bytes 0x5C, read as the characters they end",
       {"list", japanese.string(), "--codepage", "932"},
       0,
       "  表\\表.txt\n"},
      {"extracted as those characters",
       {"extract", japanese.string(), "-C", (dir_ / "jp").string(), "--codepage", "932"},
       0,
       "1 entries extracted"},
      {"a lead byte at the end of the name",
       {"verify", cut.string(), "--codepage", "932"},
       1,
       "entry 0 \"A\\x83\": the name holds half a character"},
      {"the same byte is a character of its own in 1252", {"verify", cut.string()}, 0, ": OK"},
  };
  for (const auto& row : rows) {
    Outcome run = Kitpack(row.args);
    EXPECT_EQ(run.status, row.status) << row.why << ": " << run.err;
    EXPECT_NE((run.out + run.err).find(row.said), std::string::npos) << row.why << ": " << run.out << run.err;
  }
  EXPECT_FALSE(fs::exists(dir_ / "out"));
  EXPECT_EQ(ReadFile(dir_ / "jp/表/表.txt"), "x");
}

// The rest of the line that follows the marker in the text; "" without it.
std::string LineAfter(const std::string& text, const std::string& marker) {
  const std::size_t at = text.find(marker);
  if (at == std::string::npos) return "";
  const std::size_t start = at + marker.size();
  return text.substr(start, text.find('\n', start) - start);
}

// What setup cannot write, each after a good file: pack and medium refuse
// the tree naming the file, verify refuses the archive naming the entry, all
// three for the same rule, in the same words; and nothing is written. A name
// that is a device only where the code page makes it one packs elsewhere.
TEST_F(KitpackTest, NamesSetupCannotWriteAreRefusedAlikeByPackMediumAndVerify) {
  const std::string d237 = StorableName(237);
  struct {
    const char* why;
    const char* page;
    std::string file;    // below the tree, in UTF-8
    std::string stored;  // the entry's name, in the code page
    const char* rule;    // words of the refusal; "" when the name packs
  } rows[] = {
      {"a directory named like the archive", "1252", "Data.Vnx/README.TXT", "Data.Vnx\\README.TXT",
       "the first component is DATA.VNX, the archive's own name"},
      {"a question mark", "1252", "DOC/A?B.TXT", "DOC\\A?B.TXT", "the name holds one of : < > \" | ? *"},
      {"a vertical bar", "1252", "DOC/A|B.TXT", "DOC\\A|B.TXT", "the name holds one of : < > \" | ? *"},
      {"a less-than sign", "1252", "DOC/A<B.TXT", "DOC\\A<B.TXT", "the name holds one of : < > \" | ? *"},
      {"a greater-than sign", "1252", "DOC/A>B.TXT", "DOC\\A>B.TXT", "the name holds one of : < > \" | ? *"},
      {"a quotation mark", "1252", "DOC/A\"B.TXT", "DOC\\A\"B.TXT", "the name holds one of : < > \" | ? *"},
      {"an asterisk", "1252", "DOC/A*B.TXT", "DOC\\A*B.TXT", "the name holds one of : < > \" | ? *"},
      {"a directory's path of 248 characters below C:\\QUENV98", "1252", d237 + "/F.TXT", d237 + "\\F.TXT",
       "a directory's path is longer than 247 characters, which Windows does not create (below C:\\QUENV98)"},
      {"COM with a superscript two", "1252", "COM².txt", "COM\xB2.txt", "a component is named like a device"},
      {"COM with the katakana of the same byte", "932", "COMｲ.txt", "COM\xB2.txt", ""},
      {"LPT with the Cyrillic I of the same byte", "1251", "LPTІ.txt", "LPT\xB2.txt", ""},
      {"a device in a directory whose last byte is 0x5C", "932", "表/CON.txt", "\x95\x5C\\CON.txt",
       "a component is named like a device"},
  };
  for (const auto& row : rows) {
    fs::path kit = MakeKit("kit");
    WriteFile(kit / "files/GOOD.TXT", "good");
    WriteFile(kit / "files" / row.file, "bad");
    fs::path archive = dir_ / "DATA.VNX";
    Outcome packed = Kitpack({"pack", (kit / "files").string(), "-o", archive.string(), "--codepage", row.page});
    fs::path medium = dir_ / "medium";
    Outcome made = Kitpack({"medium", kit.string(), medium.string(), "--codepage", row.page});
    fs::path elsewhere = dir_ / "ELSEWHERE.VNX";
    WriteFile(elsewhere, Header() + Entry("GOOD.TXT", "good") + Entry(row.stored, "bad"));
    Outcome verified = Kitpack({"verify", elsewhere.string(), "--codepage", row.page});
    if (row.rule[0] == '\0') {
      EXPECT_EQ(packed.status, 0) << row.why << ": " << packed.err;
      EXPECT_EQ(made.status, 0) << row.why << ": " << made.err;
      EXPECT_EQ(verified.status, 0) << row.why << ": " << verified.err;
    } else {
      const std::string named = "kitpack: " + (kit / "files" / row.file).string() + ": ";
      const std::string reason = LineAfter(packed.err, named);
      EXPECT_EQ(packed.status, 1) << row.why;
      EXPECT_NE(reason.find(row.rule), std::string::npos) << row.why << ": " << packed.err;
      EXPECT_EQ(made.status, 1) << row.why;
      EXPECT_EQ(LineAfter(made.err, named), reason) << row.why << ": " << made.err;
      std::string shown = row.file;
      std::replace(shown.begin(), shown.end(), '/', '\\');
      EXPECT_EQ(verified.status, 1) << row.why;
      EXPECT_EQ(LineAfter(verified.err, "entry 1 \"" + shown + "\": "), reason) << row.why << ": " << verified.err;
      EXPECT_FALSE(fs::exists(archive)) << row.why;
      EXPECT_FALSE(fs::exists(medium)) << row.why;
    }
    fs::remove_all(kit);
    fs::remove_all(medium);
    fs::remove(archive);
  }
}

// A FUSE mount that is undone however the test ends.
class FuseMount {
 public:
  explicit FuseMount(fs::path point) : point_(std::move(point)) {}
  ~FuseMount() {
    if (mounted_) std::system(("fusermount -u '" + point_.string() + "' 2>/dev/null").c_str());
  }
  FuseMount(const FuseMount&) = delete;
  FuseMount& operator=(const FuseMount&) = delete;
  void Mounted() { mounted_ = true; }

 private:
  fs::path point_;
  bool mounted_ = false;
};

// The image kitpack writes is read back by three readers written elsewhere:
// isoinfo, xorriso, and the kernel's FUSE through fuseiso, mounted read-only.
// Each must find the medium's five files in the root, byte for byte as
// medium writes them.
TEST_F(KitpackTest, ImageIsReadBackByOutsideReaders) {
  fs::path kit = MakeKit("quenvar-98 kit");
  fs::path setup = dir_ / "SETUP.EXE";
  std::string program = "MZ";
  for (int i = 0; program.size() < 5000; ++i) program.push_back(static_cast<char>(i * 7));
  WriteFile(setup, program);
  fs::path medium = dir_ / "medium";
  ASSERT_EQ(Kitpack({"medium", kit.string(), medium.string(), "--setup", setup.string()}).status, 0);
  const std::map<std::string, std::string> expected = FilesByName(medium);
  ASSERT_EQ(expected.size(), 5u);

  fs::path image = dir_ / "QV98.ISO";
  Outcome made =
      Kitpack({"image", kit.string(), image.string(), "--setup", setup.string()}, "env -u SOURCE_DATE_EPOCH");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("CD image \"QUENVAR_98_KIT\""), std::string::npos) << made.out;
  EXPECT_EQ(Others(dir_, {"quenvar-98 kit", "SETUP.EXE", "medium", "QV98.ISO"}), std::vector<std::string>{});
  EXPECT_EQ(fs::file_size(image) % 2048, 0u) << "an image is whole sectors";

  Outcome descriptor = Shell("isoinfo -d -i " + Quote(image.string()));
  ASSERT_EQ(descriptor.status, 0) << descriptor.err;
  for (const char* line : {"Volume id: QUENVAR_98_KIT\n", "NO Joliet present", "NO Rock Ridge present"}) {
    EXPECT_NE(descriptor.out.find(line), std::string::npos) << line << " in\n" << descriptor.out;
  }
  Outcome listing = Shell("isoinfo -l -i " + Quote(image.string()));
  ASSERT_EQ(listing.status, 0) << listing.err;
  std::vector<std::string> listed;
  const std::regex entry("\\]  (\\S+) $");
  std::istringstream lines(listing.out);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, entry) && match[1] != "." && match[1] != "..") listed.push_back(match[1]);
  }
  EXPECT_EQ(listed,
            (std::vector<std::string>{"DATA.CMP;1", "LICENSE.TXT;1", "README.TXT;1", "SETUP.EXE;1", "SHELLINK.DAT;1"}))
      << listing.out;
  for (const auto& [name, bytes] : expected) {
    Outcome file = Shell("isoinfo -i " + Quote(image.string()) + " -x " + Quote("/" + name + ";1"));
    EXPECT_EQ(file.status, 0) << name << ": " << file.err;
    EXPECT_TRUE(file.out == bytes) << "isoinfo: " << name << " differs from the medium folder's";
  }

  fs::path extracted = dir_ / "extracted";
  Outcome xorriso =
      Shell("xorriso -osirrox on -indev " + Quote(image.string()) + " -extract / " + Quote(extracted.string()));
  ASSERT_EQ(xorriso.status, 0) << xorriso.err;
  EXPECT_TRUE(FilesByName(extracted) == expected) << "xorriso: the extracted files differ from the medium folder";
  Outcome volume = Shell("xorriso -indev " + Quote(image.string()) + " -pvd_info");
  EXPECT_NE(volume.out.find("Creation Time: 1998010100000000"), std::string::npos) << volume.out;

  fs::path point = dir_ / "mounted";
  fs::create_directories(point);
  FuseMount mount(point);
  Outcome mounted = Shell("fuseiso -n " + Quote(image.string()) + " " + Quote(point.string()) + " -o ro");
  ASSERT_EQ(mounted.status, 0) << "cannot mount the image with fuseiso, which needs /dev/fuse and the right to use it; "
                                  "the read-back through a mount is not tested: "
                               << mounted.err;
  mount.Mounted();
  EXPECT_TRUE(FilesByName(point) == expected) << "fuseiso: the mounted files differ from the medium folder";
  std::ofstream write(point / "NEW.TXT");
  write << "x";
  write.flush();
  EXPECT_FALSE(write.good()) << "the image's mount takes writes: it is not read-only";
  EXPECT_FALSE(fs::exists(point / "NEW.TXT"));
}

// The same kit gives the same image whenever and wherever it is made: the
// kit's file times, the order its folder lists them in, the clock and the
// time zone change nothing; SOURCE_DATE_EPOCH moves every date.
TEST_F(KitpackTest, ImageBytesComeFromTheKitAndSourceDateEpochOnly) {
  fs::path first = MakeKit("first");
  fs::path second = MakeKit("second", true);
  for (const auto& entry : fs::recursive_directory_iterator(second)) {
    fs::last_write_time(entry.path(), fs::last_write_time(entry.path()) - std::chrono::hours(24 * 365 * 20));
  }
  WriteFile(dir_ / "SETUP.EXE", "MZ setup");
  auto image = [&](const fs::path& kit, const std::string& name, const std::string& environment) {
    fs::path out = dir_ / name;
    Outcome made =
        Kitpack({"image", kit.string(), out.string(), "--setup", (dir_ / "SETUP.EXE").string(), "--label", "QV98"},
                "env -u SOURCE_DATE_EPOCH " + environment);
    EXPECT_EQ(made.status, 0) << name << ": " << made.err;
    return ReadFile(out);
  };
  const std::string fixed = image(first, "A.ISO", "TZ=XST-05:30");
  NextSecond();
  EXPECT_TRUE(image(second, "B.ISO", "TZ=YST+08") == fixed) << "a second image of the same kit differs";
  EXPECT_TRUE(image(first, "C.ISO", "SOURCE_DATE_EPOCH=883612800") == fixed)
      << "SOURCE_DATE_EPOCH at the fixed date gives another image";

  const std::string dated = image(first, "D.ISO", "SOURCE_DATE_EPOCH=1700000000 TZ=XST-05:30");
  EXPECT_FALSE(dated == fixed) << "SOURCE_DATE_EPOCH changed nothing";
  EXPECT_TRUE(image(second, "E.ISO", "SOURCE_DATE_EPOCH=1700000000 TZ=YST+08") == dated);
  Outcome volume = Shell("xorriso -indev " + Quote((dir_ / "D.ISO").string()) + " -pvd_info");
  EXPECT_NE(volume.out.find("Creation Time: 2023111422132000"), std::string::npos) << volume.out;
  EXPECT_NE(volume.out.find("Modif. Time  : 2023111422132000"), std::string::npos) << volume.out;
  Outcome listing = Shell("TZ=UTC isoinfo -l -i " + Quote((dir_ / "D.ISO").string()));
  EXPECT_EQ(listing.out.find("1998"), std::string::npos) << "a directory record keeps the fixed date:\n" << listing.out;
}

// Every failure names what failed, exits with 1, and leaves the image that
// was there before as it was, with nothing beside it.
TEST_F(KitpackTest, ImageFailuresLeaveNoImage) {
  WriteFile(dir_ / "SETUP.EXE", "MZ setup");
  WriteFile(dir_ / "SETUP.TXT", "setup notes");
  const fs::path out = dir_ / "OUT";
  fs::create_directories(out / "AN.ISO");
  WriteFile(out / "QV.ISO", "the image made before");
  struct {
    const char* why;
    const char* removed;  // from the kit
    std::string image;    // relative to the test's folder
    std::string setup;    // the same
    std::vector<std::string> options;
    std::string before;  // shell text before kitpack
    std::string message;
  } rows[] = {
      {"no README.TXT in the kit", "README.TXT", "OUT/QV.ISO", "SETUP.EXE", {}, "", "README.TXT: no such file"},
      {"no setup program", nullptr, "OUT/QV.ISO", "NOSETUP.EXE", {}, "", "NOSETUP.EXE: no such file"},
      {"a setup program that is none", nullptr, "OUT/QV.ISO", "SETUP.TXT", {}, "", "SETUP.TXT: not a Windows program"},
      {"a label with a blank", nullptr, "OUT/QV.ISO", "SETUP.EXE", {"--label", "QV 98"}, "", "--label \"QV 98\""},
      {"SOURCE_DATE_EPOCH not a count of seconds",
       nullptr,
       "OUT/QV.ISO",
       "SETUP.EXE",
       {},
       "SOURCE_DATE_EPOCH=yesterday",
       "SOURCE_DATE_EPOCH=\"yesterday\""},
      {"a folder for the image that does not exist",
       nullptr,
       "NOWHERE/QV.ISO",
       "SETUP.EXE",
       {},
       "",
       "NOWHERE/QV.ISO: cannot create"},
      {"a directory where the image goes",
       nullptr,
       "OUT/AN.ISO",
       "SETUP.EXE",
       {},
       "",
       "AN.ISO: cannot rename into place"},
      // 40 blocks of the shell's 512 bytes: room for the medium's files, which
      // go out beside the image first (DATA.CMP is about 8 KiB), not for the
      // image.
      {"the image outgrows the largest file allowed",
       nullptr,
       "OUT/QV.ISO",
       "SETUP.EXE",
       {},
       "trap '' XFSZ; ulimit -f 40;",
       "OUT/QV.ISO: write failed"},
  };
  for (const auto& row : rows) {
    fs::path kit = MakeKit("kit");
    if (row.removed != nullptr) fs::remove(kit / row.removed);
    std::vector<std::string> args = {"image", kit.string(), (dir_ / row.image).string(), "--setup",
                                     (dir_ / row.setup).string()};
    args.insert(args.end(), row.options.begin(), row.options.end());
    Outcome run = Kitpack(args, row.before);
    EXPECT_EQ(run.status, 1) << row.why << ": " << run.err;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << row.why << ": " << run.err;
    EXPECT_EQ(ReadFile(out / "QV.ISO"), "the image made before") << row.why;
    EXPECT_TRUE(fs::is_directory(out / "AN.ISO")) << row.why;
    EXPECT_EQ(Others(out, {"QV.ISO", "AN.ISO"}), std::vector<std::string>{}) << row.why;
    EXPECT_FALSE(fs::exists(dir_ / "NOWHERE")) << row.why;
    fs::remove_all(kit);
  }
}
}  // namespace
