// Stands in for the platform's group converter, which Wine does not have:
// installed as grpconv.exe in the Windows directory of the test prefix, it is
// what SETUP.EXE starts with "grpconv -o". It makes no shortcuts. It only
// records how it was started and what it was given, in the Windows
// directory:
//
//   GRPCONV.INI  a byte copy of SETUP.INI as it found it when it started;
//                absent when there was no SETUP.INI to read
//   GRPCONV.LOG  written last, under a temporary name renamed into place, so
//                that once it exists everything is recorded. Lines
//                "key=value" ending in CR LF:
//                  command=<the command line, exactly as received>
//                  useshowwindow=<1 when STARTF_USESHOWWINDOW was set, else 0>
//                  showwindow=<wShowWindow of the startup information>
//                  cmdshow=<the show state WinMain received>
//                  setupini=<bytes copied, or "missing">
//
// A test removes both files before the run it checks, and reads them when
// GRPCONV.LOG appears. The exit code is 0 when everything was recorded.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The Windows directory with the name joined to it, or empty when it does
// not fit.
std::string InWindowsDirectory(const char* name) {
  char windows[MAX_PATH];
  const UINT got = GetWindowsDirectoryA(windows, sizeof windows);
  if (got == 0 || got >= sizeof windows) return "";
  return std::string(windows) + "\\" + name;
}

// Copies SETUP.INI byte for byte; -1 when there is none to read, -2 when the
// copy could not be written.
long long CopySetupIni() {
  std::FILE* in = std::fopen(InWindowsDirectory("SETUP.INI").c_str(), "rb");
  if (in == nullptr) return -1;
  std::FILE* out = std::fopen(InWindowsDirectory("GRPCONV.INI").c_str(), "wb");
  if (out == nullptr) {
    std::fclose(in);
    return -2;
  }
  long long copied = 0;
  char chunk[4096];
  std::size_t got;
  bool written = true;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) {
    written = written && std::fwrite(chunk, 1, got, out) == got;
    copied += static_cast<long long>(got);
  }
  const bool read = !std::ferror(in);
  std::fclose(in);
  written = std::fclose(out) == 0 && written;
  return read && written ? copied : -2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int cmdShow) {
  // SETUP.INI first, before anything else can change it.
  const long long copied = CopySetupIni();

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);

  const std::string log = InWindowsDirectory("GRPCONV.LOG");
  const std::string temporary = log + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return 1;
  std::fprintf(out, "command=%s\r\n", GetCommandLineA());
  std::fprintf(out, "useshowwindow=%d\r\n", (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? 1 : 0);
  std::fprintf(out, "showwindow=%u\r\n", static_cast<unsigned>(startup.wShowWindow));
  std::fprintf(out, "cmdshow=%d\r\n", cmdShow);
  if (copied >= 0) {
    std::fprintf(out, "setupini=%lld\r\n", copied);
  } else {
    std::fprintf(out, "setupini=%s\r\n", copied == -1 ? "missing" : "copy failed");
  }
  if (std::fclose(out) != 0) return 1;
  return MoveFileExA(temporary.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING) && copied != -2 ? 0 : 1;
}
