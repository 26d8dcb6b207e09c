// kitpack's memory on a kit far larger than the memory it may take: every
// command reads and writes in pieces, so that its peak stays within 64 MiB
// with two jobs whatever the size of the kit, and running out of memory is
// told as a failure of kitpack's own. Built without the sanitizers only,
// whose own memory would swamp the figures.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include "ArchiveBytes.h"
#include "TestFiles.h"

namespace {

namespace fs = std::filesystem;

constexpr long PEAK_LIMIT_KB = 64 * 1024;

struct Outcome {
  int status = -1;
  long peakKb = 0;  // the most resident memory the run took
  std::string err;
};

// Runs kitpack with the arguments, its address space limited to limitKb when
// that is not 0; its exit status, its peak, its error output.
Outcome Kitpack(const std::vector<std::string>& args, const fs::path& errFile, long limitKb = 0) {
  std::vector<char*> argv = {const_cast<char*>(KITPACK_PATH)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (std::freopen(errFile.c_str(), "w", stderr) == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) {
      _exit(126);
    }
    const rlimit limit = {static_cast<rlim_t>(limitKb) * 1024, static_cast<rlim_t>(limitKb) * 1024};
    if (limitKb > 0 && setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    execv(KITPACK_PATH, argv.data());
    _exit(127);
  }
  Outcome run;
  int raw = 0;
  rusage usage = {};
  if (child > 0 && wait4(child, &raw, 0, &usage) == child) {
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.peakKb = usage.ru_maxrss;
  }
  run.err = ReadFile(errFile);
  return run;
}

// A kit of about 200 MB that compresses to about 70 MB: bytes that do not
// compress, and zeros in sparse files, which cost the disk nothing and are
// quick to read and to compress. Holding the archive, the payload or a
// file whole would take more than the limit.
class KitMemoryTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("qv-kit-memory-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    const fs::path kit = root_ / "kit";
    WriteFile(kit / "files/DATA/PACKED.BIN", Pattern(48u << 20, 98));
    for (const char* name : {"Z1.BIN", "Z2.BIN", "Z3.BIN"}) {
      WriteFile(kit / "files/ZEROS" / name, "");
      fs::resize_file(kit / "files/ZEROS" / name, 40u << 20);
    }
    WriteFile(kit / "LICENSE.TXT", "Licence\r\n");
    WriteFile(kit / "README.TXT", "Information\r\n");
    WriteFile(kit / "SHELLINK.DAT", "[Quenvar 98]\r\n");
    WriteFile(root_ / "SETUP.EXE", "MZ setup");
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  static fs::path root_;
};

fs::path KitMemoryTest::root_;

TEST_F(KitMemoryTest, EveryCommandStaysWithin64MiB) {
  const std::string r = root_.string();
  // In this order: each row reads what the rows before it wrote.
  const std::vector<std::vector<std::string>> rows = {
      {"medium", r + "/kit", r + "/medium", "--jobs", "2"},
      {"verify", r + "/medium"},
      {"list", r + "/medium/DATA.CMP"},
      {"extract", r + "/medium/DATA.CMP", "-C", r + "/extracted"},
      {"pack", r + "/kit/files", "-o", r + "/DATA.VNX"},
      {"compress", r + "/DATA.VNX", "-o", r + "/AGAIN.CMP", "--jobs", "2"},
      {"image", r + "/kit", r + "/KIT.ISO", "--setup", r + "/SETUP.EXE", "--jobs", "2"},
  };
  for (const auto& args : rows) {
    const Outcome run = Kitpack(args, root_ / "err.txt");
    EXPECT_EQ(run.status, 0) << args[0] << ": " << run.err;
    EXPECT_LE(run.peakKb, PEAK_LIMIT_KB) << args[0] << " took " << run.peakKb << " KB at its peak";
    fs::remove_all(root_ / "extracted");
  }
  EXPECT_GT(fs::file_size(root_ / "medium/DATA.CMP"), std::uintmax_t{PEAK_LIMIT_KB} * 1024)
      << "the payload is no larger than the limit: a command holding it whole would not be found out";
}

// Too many jobs for the memory there is: the command says so, naming its
// step, and leaves nothing behind, not even the folder it made.
TEST_F(KitMemoryTest, RunningOutOfMemoryIsToldAndLeavesNothing) {
  const std::string r = root_.string();
  const Outcome run = Kitpack({"medium", r + "/kit", r + "/oom/medium", "--jobs", "64"}, root_ / "err.txt", 200000);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "kitpack: packing and compressing " + r + "/oom/medium/DATA.CMP: out of memory\n");
  EXPECT_FALSE(fs::exists(root_ / "oom"));
}

}  // namespace
