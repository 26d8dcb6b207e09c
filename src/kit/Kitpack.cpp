// kitpack: builds the setup medium of the kit, and lists, verifies and
// extracts the archives and payloads it makes. Other people's scripts call
// these subcommands by name, so the names and their arguments stay as they are.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "kit/CarriedSetup.h"
#include "kit/CodePage.h"
#include "kit/KitCommands.h"
#include "kit/KitStep.h"
#include "kit/PathDisplay.h"

namespace {

constexpr int EXIT_USAGE = 2;
constexpr unsigned MAX_JOBS = 64;

const char USAGE[] =
    "Usage:\n"
    "  kitpack medium KITDIR OUTDIR [--setup SETUP.EXE] [--codepage N] [--jobs N]\n"
    "      Builds a setup medium in OUTDIR from the kit folder KITDIR: its files/\n"
    "      tree packed and compressed into DATA.CMP, and its LICENSE.TXT,\n"
    "      README.TXT and SHELLINK.DAT copied, each converted into the code page\n"
    "      when it is UTF-8 with characters past ASCII; and SETUP.EXE, the one\n"
    "      kitpack carries (see --version) unless --setup names another.\n"
    "      Every item line of SHELLINK.DAT must have three fields, name a file or\n"
    "      directory of the tree in its second (with a leading backslash), and\n"
    "      fit setup's limits below C:\\QUENV98.\n"
    "  kitpack image KITDIR OUT.ISO [--setup SETUP.EXE] [--label LABEL] [--codepage N]\n"
    "                [--jobs N]\n"
    "      Builds the same medium as an ISO 9660 CD image, for a CD writer, an\n"
    "      emulator or a virtual machine: SETUP.EXE, DATA.CMP, LICENSE.TXT,\n"
    "      README.TXT and SHELLINK.DAT in its root. LABEL (1 to 32 of A-Z, 0-9\n"
    "      and _, upper-cased) defaults to KITDIR's name, upper-cased, other\n"
    "      characters made _, cut to 32. Every date in the image is\n"
    "      SOURCE_DATE_EPOCH when set, else 1998-01-01 00:00 UTC, so the same\n"
    "      kit gives the same image. Needs libisofs: the Windows build refuses.\n"
    "  kitpack pack TREE -o DATA.VNX [--codepage N]\n"
    "      Packs the regular files below TREE into a library archive. Entry names\n"
    "      are paths relative to TREE with backslashes, in the code page;\n"
    "      directories are kept only as parts of names, so empty ones are left out.\n"
    "  kitpack compress FILE -o DATA.CMP [--jobs N]\n"
    "      Compresses FILE into the SZDD format that setup expands.\n"
    "  kitpack list FILE [--codepage N]\n"
    "      Lists the entries of an archive or a compressed payload: size, data\n"
    "      offset and name.\n"
    "  kitpack verify FILE|MEDIUM [--codepage N]\n"
    "      Checks an archive or a compressed payload: the access name, every entry\n"
    "      readable to its end, names safe and free of clashes, nothing left over.\n"
    "      Given a medium folder, checks its DATA.CMP so, and its SHELLINK.DAT\n"
    "      against it as medium does. Exits 0 only when all of these hold.\n"
    "  kitpack extract FILE -C DIR [--codepage N]\n"
    "      Writes every entry of a verified archive or payload below DIR.\n"
    "  kitpack --help\n"
    "  kitpack --version\n"
    "      Prints kitpack's version and the size and CRC-32 of the SETUP.EXE it\n"
    "      carries.\n"
    "\n"
    "--codepage N: the ANSI code page of the Windows machines the kit is for,\n"
    "which setup reads every name and text in (default 1252, Western Europe;\n"
    "1250 Central Europe, 1251 Cyrillic, 1253 Greek, 1254 Turkish, 1256 Arabic,\n"
    "1257 Baltic, 874 Thai, 932 Japanese, 936 Simplified Chinese, 949 Korean,\n"
    "950 Traditional Chinese).\n"
    "Names and texts are converted into it from UTF-8 (from the file system's\n"
    "names on Windows); a name it cannot write, or two names that one Windows\n"
    "folder cannot hold side by side, are refused. list, verify and extract read\n"
    "names in it and give them back in UTF-8.\n"
    "\n"
    "--jobs N: how many pieces of the payload medium, image and compress\n"
    "compress at once, 1 to 64 (default: one for each of the machine's cores);\n"
    "each takes about 9 MiB. The payload is the same for any N.\n"
    "\n"
    "Outputs are written under a temporary name and renamed into place when\n"
    "complete. Exit status: 0 success, 1 failure, 2 wrong usage.\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "kitpack: %s\n%s", problem.c_str(), USAGE);
  return EXIT_USAGE;
}

struct Arguments {
  std::string command;
  std::vector<std::string> positional;
  std::string output;     // -o
  std::string directory;  // -C
  std::string setup;      // --setup
  std::string codePage;   // --codepage
  std::string label;      // --label
  std::string jobs;       // --jobs
};

// Splits the words after the subcommand into options with a value and
// positional arguments. False, with a message, on an unknown option or a
// missing value.
bool ParseArguments(int argc, char** argv, Arguments& args, std::string& problem) {
  for (int i = 2; i < argc; ++i) {
    std::string word = argv[i];
    std::string* value = word == "-o"           ? &args.output
                         : word == "-C"         ? &args.directory
                         : word == "--setup"    ? &args.setup
                         : word == "--codepage" ? &args.codePage
                         : word == "--label"    ? &args.label
                         : word == "--jobs"     ? &args.jobs
                                                : nullptr;
    if (value != nullptr) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        problem = word + " needs a value";
        return false;
      }
      if (!value->empty()) {
        problem = word + " given twice";
        return false;
      }
      *value = argv[++i];
    } else if (word.size() > 1 && word[0] == '-') {
      problem = "unknown option " + word;
      return false;
    } else {
      args.positional.push_back(word);
    }
  }
  return true;
}

// Which positional arguments and options each subcommand takes.
struct Shape {
  const char* name;
  std::size_t positional;
  bool output, directory, setup, label, codePage, jobs;
};
const Shape SHAPES[] = {
    {"medium", 2, false, false, true, false, true, true},   {"image", 2, false, false, true, true, true, true},
    {"pack", 1, true, false, false, false, true, false},    {"compress", 1, true, false, false, false, false, true},
    {"list", 1, false, false, false, false, true, false},   {"verify", 1, false, false, false, false, true, false},
    {"extract", 1, false, true, false, false, true, false},
};

// What is wrong with the arguments for the subcommand; empty when nothing.
std::string ShapeProblem(const Shape& shape, const Arguments& args) {
  const std::string& command = args.command;
  if (args.positional.size() != shape.positional) {
    return command + " takes " + std::to_string(shape.positional) + " file argument" +
           (shape.positional == 1 ? "" : "s");
  }
  if (shape.output != !args.output.empty()) return command + (shape.output ? " needs" : " takes no") + " -o";
  if (shape.directory != !args.directory.empty()) return command + (shape.directory ? " needs" : " takes no") + " -C";
  if (!shape.setup && !args.setup.empty()) return command + " takes no --setup";
  if (!shape.label && !args.label.empty()) return command + " takes no --label";
  if (!shape.codePage && !args.codePage.empty()) return command + " takes no --codepage";
  if (!shape.jobs && !args.jobs.empty()) return command + " takes no --jobs";
  return "";
}

// A number from 1 to limit, written in decimal; 0 when the text is not one.
unsigned SmallNumber(const std::string& text, unsigned limit) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  const unsigned long value = std::stoul(text);
  return value <= limit ? static_cast<unsigned>(value) : 0;
}

// Checks the options' values and runs the subcommand.
int Run(const Arguments& args) {
  const std::vector<std::string>& p = args.positional;
  const unsigned jobs = args.jobs.empty() ? 0 : SmallNumber(args.jobs, MAX_JOBS);
  if (!args.jobs.empty() && jobs == 0) return Usage("--jobs " + args.jobs + ": give a number from 1 to 64");
  if (args.command == "compress") return CompressCommand(p[0], args.output, jobs);
  const unsigned number = args.codePage.empty() ? DEFAULT_CODE_PAGE : SmallNumber(args.codePage, 99999);
  if (!IsSupportedCodePage(number)) {
    return Usage("--codepage " + args.codePage + ": kitpack writes names in code pages " + SupportedCodePages());
  }
  CodePage codePage;
  std::string error;
  if (!codePage.Open(number, error)) {
    std::fprintf(stderr, "kitpack: %s\n", error.c_str());
    return 1;
  }
  if (args.command == "medium") return MediumCommand(p[0], p[1], args.setup, codePage, jobs);
  if (args.command == "image") return ImageCommand(p[0], p[1], args.setup, args.label, codePage, jobs);
  if (args.command == "pack") return PackCommand(p[0], args.output, codePage);
  if (args.command == "list") return ListCommand(p[0], codePage);
  if (args.command == "verify") return VerifyCommand(p[0], codePage);
  return ExtractCommand(p[0], args.directory, codePage);
}

// Runs the subcommand; what the C++ library throws on the way (no memory, a
// file system call that failed, a name it cannot convert) ends here, told
// as kitpack's own failure of the step under way. Every output not yet
// complete has been removed by then, as the stack unwound.
int RunCaught(const Arguments& args) {
  try {
    return Run(args);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kitpack: %s: out of memory\n", KitStep::Current().c_str());
  } catch (const std::filesystem::filesystem_error& e) {
    const std::string path = e.path1().empty() ? "" : ": " + DisplayPath(e.path1());
    std::fprintf(stderr, "kitpack: %s%s: %s\n", KitStep::Current().c_str(), path.c_str(), e.code().message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kitpack: %s: %s\n", KitStep::Current().c_str(), e.what());
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    }
  }
  if (argc < 2) return Usage("no subcommand given");
  Arguments args;
  args.command = argv[1];
  std::string problem;
  if (!ParseArguments(argc, argv, args, problem)) return Usage(problem);
  const Shape* shape = nullptr;
  for (const Shape& s : SHAPES) {
    if (args.command == s.name) shape = &s;
  }
  if (shape == nullptr) return Usage("unknown subcommand " + args.command);
  problem = ShapeProblem(*shape, args);
  if (!problem.empty()) return Usage(problem);
  KitStep::Begin(args.command);
  return RunCaught(args);
}
