// Kits whose names and texts go past ASCII, made by kitpack.exe as a kit
// author on Windows makes them and installed by SETUP.EXE on a machine whose
// ANSI code page is the one the kit was made for: every directory and file
// comes out under its own name, byte for byte, the licence and the
// information text show as written, and the shortcut to a file or directory
// with such a name reaches SETUP.INI in the code page's bytes. In the
// double-byte code pages the names hold characters whose second byte is
// 0x5C, the backslash's: the kit installs into a directory whose name ends in
// one, and AUTOEXEC.BAT's INCLUDE line names that directory whole.
//
// Each scenario checks the session's code page first, and that the system
// reads its lead bytes as the installer's walk over names does: the 1252 one
// runs in the shared session, the others only in the session that
// with-locale-session.sh starts for their code page, and each fails in any
// other.
#include <windows.h>
// tlhelp32.h needs the types of windows.h first.
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Harness.h"
#include "ScenarioKit.h"
#include "Scenarios.h"
#include "base/NameCharacters.h"

namespace {

constexpr DWORD KITPACK_LIMIT_MS = 60000;

// A kit in one code page: its tree by wide names, its texts as the author
// wrote them, and what SETUP.EXE must make of the texts.
struct CodePageKit {
  UINT codePage;
  const char* option;                                       // kitpack's --codepage, or null for its default
  std::vector<std::pair<std::wstring, std::string>> files;  // path below files\, and its bytes
  std::string licence;                                      // LICENSE.TXT: UTF-8, which kitpack converts
  std::string licenceShown;                                 // what page 2 shows
  std::string readme;      // README.TXT: already in the code page, which kitpack copies
  std::string listHeader;  // SHELLINK.DAT's lines before the item line, and SETUP.INI's
  std::string itemLine;    // SHELLINK.DAT's item line, UTF-8
  std::string itemName;    // its first field in the code page
  std::string itemTarget;  // its second field in the code page
  std::string itemFolder;  // its third field in the code page
  // The installation directory below the working folder, in the code page,
  // answered Yes on page 7; empty for KIT, answered No.
  std::string installDir = "";
};

// Western Europe: the euro sign, Œ and the em dash, where Windows-1252 and
// ISO 8859-1 differ, in a directory's name and in files' names.
const CodePageKit& WesternKit() {
  static const CodePageKit kit = {
      1252,
      nullptr,
      {{L"BIN\\QCC.CFG", "-zp1\r\n"},
       {L"DOC\\\u20ACuro \u2014 \u0152uvre.txt",
        "Les \x9C"
        "uvres\r\n"},
       {L"\u0152uvres\\\u00C4rger \u20AC 100.txt", "100 EUR\r\n"},
       {L"\u0152uvres\\na\u00EFve.txt", ""}},
      u8"Licence \u2014 \u0152uvre \u20AC 5\r\n",
      "Licence \x97 \x8C"
      "uvre \x80 5\r\n",
      "Lisez-moi : caf\xE9\r\n",
      "[Quenvar 98]\r\n",
      u8"(\u0152uvre \u2014 1,\\DOC\\\u20ACuro \u2014 \u0152uvre.txt,\\DOC\r\n",
      "\x8C"
      "uvre \x97 1",
      "\\DOC\\\x80uro \x97 \x8C"
      "uvre.txt",
      "\\DOC",
  };
  return kit;
}

// Cyrillic, made with --codepage 1251.
const CodePageKit& CyrillicKit() {
  static const CodePageKit kit = {
      1251,
      "1251",
      {{L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B\\\u041F\u0440\u0438\u0432\u0435\u0442.txt",
        "\xCF\xF0\xE8\xE2\xE5\xF2\r\n"},
       {L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B\\\u0401\u043B\u043A\u0430 \u2014 "
        L"\u043D\u043E\u0432\u043E\u0433\u043E\u0434\u043D\u044F\u044F.txt",
        "1 \xFF\xED\xE2\xE0\xF0\xFF\r\n"},
       {L"\u0401\u0436\u0438\u043A.txt", ""},
       // 0xB2 after LPT: a port's name where it is the superscript two (1252),
       // a file's here, where it is the Cyrillic I.
       {L"LPT\u0406.txt", "\xCF\xEE\xF0\xF2\r\n"}},
      u8"\u041B\u0438\u0446\u0435\u043D\u0437\u0438\u044F \u2014 1\r\n",
      "\xCB\xE8\xF6\xE5\xED\xE7\xE8\xFF \x97 1\r\n",
      "\xCF\xF0\xE8\xE2\xE5\xF2\r\n",
      "[Quenvar 98]\r\n",
      u8"(\u041F\u0440\u0438\u0432\u0435\u0442,\\\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B\\"
      u8"\u041F\u0440\u0438\u0432\u0435\u0442.txt,\\\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B\r\n",
      "\xCF\xF0\xE8\xE2\xE5\xF2",
      "\\\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xFB\\\xCF\xF0\xE8\xE2\xE5\xF2.txt",
      "\\\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xFB",
  };
  return kit;
}

// Japanese, made with --codepage 932: ソ, 表, 能, 十 and 予 end in 0x5C;
// ｿﾌﾄ is half-width katakana, one byte each.
const CodePageKit& JapaneseKit() {
  static const CodePageKit kit = {
      932,
      "932",
      {{L"\u30BD\u30D5\u30C8\u30A6\u30A7\u30A2\\\u8868\u793A.txt", "\x95\x5C\x8E\xA6\r\n"},
       {L"\u30BD\u30D5\u30C8\u30A6\u30A7\u30A2\\\uFF7F\uFF8C\uFF84\\QCC.CFG", "-zp1\r\n"},
       {L"\u80FD\u529B.txt", "\x94\x5C\x97\xCD\r\n"},
       {L"\u5341\u4E88\u5B9A.txt", ""},
       {L"\uFF7F\uFF8C\uFF84.txt", "\xBF\xCC\xC4\r\n"},
       {L"README.TXT", "Quenvar 98\r\n"}},
      u8"\u4F7F\u7528\u8A31\u8AFE\u5951\u7D04\u66F8\r\n",
      "\x8E\x67\x97\x70\x8B\x96\x91\xF8\x8C\x5F\x96\xF1\x8F\x91\r\n",
      "\x90\xE0\x96\xBE\x8F\x91\r\n",
      "[Quenvar 98]\r\n",
      u8"(\u30BD\u30D5\u30C8\u30A6\u30A7\u30A2,\\\u30BD\u30D5\u30C8\u30A6\u30A7\u30A2,\\\u30BD\u30D5\u30C8\u30A6"
      u8"\u30A7\u30A2\r\n",
      "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41",
      "\\\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41",
      "\\\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41",
      "\x83\x5C\x83\x74\x83\x67\x95\x5C",  // ソフト表
  };
  return kit;
}

// Traditional Chinese, made with --codepage 950: 功 and 許 end in 0x5C.
const CodePageKit& TraditionalChineseKit() {
  static const CodePageKit kit = {
      950,
      "950",
      {{L"\u529F\u80FD\\\u8A31\u53EF.txt", "\xB3\x5C\xA5\x69\r\n"},
       {L"\u529F\u80FD\\\u8EDF\u9AD4\\QCC.CFG", "-zp1\r\n"},
       {L"\u8EDF\u9AD4.txt", ""},
       {L"README.TXT", "Quenvar 98\r\n"}},
      u8"\u6388\u6B0A\u5408\u7D04\r\n",
      "\xB1\xC2\xC5\x76\xA6\x58\xAC\xF9\r\n",
      "\xBB\xA1\xA9\xFA\r\n",
      "[Quenvar 98]\r\n",
      u8"(\u529F\u80FD,\\\u529F\u80FD,\\\u529F\u80FD\r\n",
      "\xA5\x5C\xAF\xE0",
      "\\\xA5\x5C\xAF\xE0",
      "\\\xA5\x5C\xAF\xE0",
      "\xA6\xA8\xA5\x5C",  // 成功
  };
  return kit;
}

// ---- files by wide names ---------------------------------------------------

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

void WriteWide(const std::wstring& path, const std::string& bytes) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  Expect(file != INVALID_HANDLE_VALUE, "cannot create %s (error %lu)", Narrow(path).c_str(), GetLastError());
  DWORD written = 0;
  const BOOL wrote =
      bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  Expect(wrote && written == bytes.size(), "cannot write %s", Narrow(path).c_str());
}

std::string ReadWide(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  Expect(file != INVALID_HANDLE_VALUE, "cannot open %s", Narrow(path).c_str());
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

// Every file and directory below dir by its wide relative path (directories
// with a trailing backslash), with a file's bytes.
void CollectWide(const std::wstring& dir, const std::wstring& relative,
                 std::vector<std::pair<std::wstring, std::string>>& items) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((dir + L"\\" + relative + L"*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      items.push_back({relative + name + L"\\", ""});
      CollectWide(dir, relative + name + L"\\", items);
    } else {
      items.push_back({relative + name, ReadWide(dir + L"\\" + relative + name)});
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
}

// A path of the driver's, in the ANSI code page, as a wide one.
std::wstring Wide(const std::string& text) {
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  if (needed > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], needed);
  return wide;
}

// The names as code points, so that a failure shows which characters came out.
std::string Describe(const std::vector<std::pair<std::wstring, std::string>>& items) {
  std::string text;
  for (const auto& [path, bytes] : items) {
    text += "\n  ";
    for (wchar_t c : path) {
      char code[16];
      std::snprintf(code, sizeof code, c < 0x80 ? "%c" : "<U+%04X>", static_cast<unsigned>(c));
      text += code;
    }
    if (path.back() != L'\\') text += " (" + std::to_string(bytes.size()) + " bytes)";
  }
  return text;
}

void ExpectInstalledUnderTheirNames(const std::string& dir, const CodePageKit& kit) {
  std::vector<std::pair<std::wstring, std::string>> expected;
  for (const auto& [path, bytes] : kit.files) {
    for (std::size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
      expected.push_back({path.substr(0, at + 1), ""});
    }
    expected.push_back({path, bytes});
  }
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  std::vector<std::pair<std::wstring, std::string>> installed;
  CollectWide(Wide(dir), L"", installed);
  std::sort(installed.begin(), installed.end());
  Expect(installed == expected, "%s holds%s\nbut the kit's tree is%s", dir.c_str(), Describe(installed).c_str(),
         Describe(expected).c_str());
}

// ---- kitpack.exe -----------------------------------------------------------

// Runs kitpack.exe with the arguments, its output going to the driver's.
void RunKitpack(const std::string& arguments) {
  const std::string program = BesideTheDriver("kitpack.exe");
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  Expect(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info) != FALSE,
         "could not start %s (error %lu)", program.c_str(), GetLastError());
  CloseHandle(info.hThread);
  const DWORD waited = WaitForSingleObject(info.hProcess, KITPACK_LIMIT_MS);
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 99);
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  Expect(waited == WAIT_OBJECT_0, "kitpack.exe %s did not end within %lu s", arguments.c_str(),
         KITPACK_LIMIT_MS / 1000);
  Expect(code == 0, "kitpack.exe %s ended with exit code %lu", arguments.c_str(), code);
}

// ---- the prefix's files -----------------------------------------------------

std::string SetupIni() { return InWindows("SETUP.INI"); }

bool ConverterRuns() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  bool running = false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    running = running || _stricmp(entry.szExeFile, "grpconv.exe") == 0;
  }
  CloseHandle(snapshot);
  return running;
}

// Puts a file of the prefix back as the scenario found it, once the group
// converter that the run started has read SETUP.INI: a prefix may be shared
// with the other scenarios.
class FileKept {
 public:
  explicit FileKept(std::string path)
      : path_(std::move(path)), had_(IsFile(path_)), bytes_(had_ ? ReadBytes(path_) : "") {}
  ~FileKept() {
    const DWORD start = GetTickCount();
    while (ConverterRuns() && GetTickCount() - start < WAIT_LIMIT_MS) Sleep(50);
    if (!had_) {
      DeleteFileA(path_.c_str());
      return;
    }
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes_.data(), static_cast<DWORD>(bytes_.size()), &written, nullptr) ||
        written != bytes_.size()) {
      std::fprintf(stderr, "could not put %s back as it was\n", path_.c_str());
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  FileKept(const FileKept&) = delete;
  FileKept& operator=(const FileKept&) = delete;

 private:
  std::string path_;
  bool had_;
  std::string bytes_;
};

// ---- the scenario ------------------------------------------------------------

// The session's code page is the kit's, and the system takes the same bytes
// for lead bytes as the installer's walk over names does.
void ExpectCodePage(const CodePageKit& kit) {
  const UINT acp = GetACP();
  Expect(acp == kit.codePage,
         "Wine's ANSI code page is %u, not %u: this scenario runs only in a session in that code page%s", acp,
         kit.codePage, kit.codePage == 1252 ? "" : " (with-locale-session.sh starts one)");
  for (unsigned byte = 0; byte < 256; ++byte) {
    const bool system = IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
    Expect(IsLeadByte(acp, static_cast<unsigned char>(byte)) == system,
           "in code page %u the system takes 0x%02X for %sa lead byte, the installer's walk for %s", acp, byte,
           system ? "" : "no ", system ? "none" : "one");
  }
}

// Writes the kit's folder and has kitpack.exe make the medium from it.
void MakeMedium(const CodePageKit& kit, const std::string& source, const std::string& medium) {
  for (const auto& [path, bytes] : kit.files) WriteWide(Wide(source) + L"\\files\\" + path, bytes);
  WriteBytes(source + "\\LICENSE.TXT", kit.licence);
  WriteBytes(source + "\\README.TXT", kit.readme);
  WriteBytes(source + "\\SHELLINK.DAT", kit.listHeader + kit.itemLine);
  RunKitpack("medium \"" + source + "\" \"" + medium + "\"" +
             (kit.option ? std::string(" --codepage ") + kit.option : std::string()));
}

// The item line as SETUP.EXE converts it below the directory, from bytes of
// the code page, after the lines before it.
std::string ExpectedSetupIni(const CodePageKit& kit, const std::string& dir) {
  const std::string target = dir + kit.itemTarget;
  char shortForm[MAX_PATH];
  const DWORD got = GetShortPathNameA(target.c_str(), shortForm, sizeof shortForm);
  Expect(got > 0 && got < sizeof shortForm, "the platform gives no short form for the installed %s",
         Printable(target).c_str());
  return kit.listHeader + "\"" + kit.itemName + "\",\"" + shortForm + "\",\"" + target + "\",,,\"" + dir +
         kit.itemFolder + "\"\r\n";
}

void InstallUnderTheirNames(Context& context, const CodePageKit& kit) {
  ExpectCodePage(kit);
  FileKept iniKept(SetupIni());
  FileKept batchKept(OnWindowsDrive("AUTOEXEC.BAT"));
  FileKept backupKept(OnWindowsDrive("AUTOEXEC.QVB"));
  DeleteFileA(OnWindowsDrive("AUTOEXEC.BAT").c_str());

  const std::string medium = context.workDir + "\\MEDIUM";
  MakeMedium(kit, context.workDir + "\\KITSRC", medium);
  const bool yes = !kit.installDir.empty();
  const std::string dir = yes ? context.workDir + "\\" + kit.installDir : KitDir(context);
  RepaintSentinel sentinel;
  SetupRun run(context.setupExe, SW_SHOWNORMAL, medium);
  HWND page =
      WalkShowingDocuments(run, kit.licenceShown, "LICENSE.TXT in the code page", kit.readme, "README.TXT", dir);
  ExpectInstalledUnderTheirNames(dir, kit);
  run.Click(page, yes ? NEXT : BACK);
  ExpectCompletionNotice(run, sentinel, yes ? "Yes on page 7" : "No on page 7");

  const std::string ini = ReadBytes(SetupIni());
  const std::string expected = ExpectedSetupIni(kit, dir);
  Expect(ini == expected, "SETUP.INI holds\n  %s\nexpected\n  %s", Printable(ini).c_str(), Printable(expected).c_str());
  if (!yes) return;
  const std::string lines = "SET WCC386=%WCC386% /zp1\r\nSET CL=%CL% /Zp1\r\nSET INCLUDE=%INCLUDE%;" + dir + "\r\n";
  const std::string written = ReadBytes(OnWindowsDrive("AUTOEXEC.BAT"));
  Expect(written == lines, "AUTOEXEC.BAT holds\n  %s\nexpected\n  %s", Printable(written).c_str(),
         Printable(lines).c_str());
}

void WesternNames(Context& context) { InstallUnderTheirNames(context, WesternKit()); }
void CyrillicNames(Context& context) { InstallUnderTheirNames(context, CyrillicKit()); }
void JapaneseNames(Context& context) { InstallUnderTheirNames(context, JapaneseKit()); }
void TraditionalChineseNames(Context& context) { InstallUnderTheirNames(context, TraditionalChineseKit()); }

}  // namespace

const std::vector<Scenario>& CodePageScenarios() {
  static const std::vector<Scenario> scenarios = {
      {"names-cp1252", WesternNames},
      {"names-cp1251", CyrillicNames},
      {"names-cp932", JapaneseNames},
      {"names-cp950", TraditionalChineseNames},
  };
  return scenarios;
}
