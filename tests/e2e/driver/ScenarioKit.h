// What the scenarios share: files of the working folder, media made the way
// kitpack makes them, what a scenario expects to see, and the roads through
// the wizard.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "Harness.h"
#include "Scenarios.h"

constexpr int NEXT = 1001, BACK = 1000, ABORT = 1003, PANE = 1005, FIELD = 1008;

extern const char COMPLETED[];
extern const char ABORTED[];
extern const char DEFAULT_DIR[];
extern const std::string LICENSE_TEXT;
extern const std::string README_TEXT;
extern const std::string SHORTCUT_LIST;

// ---- files ---------------------------------------------------------------

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool IsDirectory(const std::string& path);
bool IsFile(const std::string& path);
bool IsEmptyDirectory(const std::string& path);
void RemoveTree(const std::string& path);
// The prefix's Windows directory, a file in it, and a file in the root of
// its drive, where the batch files lie.
std::string WindowsDirectory();
std::string InWindows(const char* name);
std::string OnWindowsDrive(const char* name);

// Every file below the directory by its path relative to it (components
// joined by backslashes, as the disk spells them), with its bytes; and every
// directory, with a trailing backslash and no bytes.
struct TreeItem {
  std::string path;
  std::string bytes;
  bool operator==(const TreeItem& other) const { return path == other.path && bytes == other.bytes; }
  bool operator<(const TreeItem& other) const { return path < other.path; }
};
std::vector<TreeItem> ReadTree(const std::string& dir);

// ---- media ---------------------------------------------------------------

struct KitFile {
  std::string name;  // entry name, as the archive holds it
  std::string data;
};
using Kit = std::vector<KitFile>;

// The kit that the wizard's roads install: a few files in directories.
const Kit& SmallKit();
// The archive that kitpack packs from the files, in their order.
std::string PackArchive(const Kit& kit);
// The archive compressed as kitpack compresses DATA.CMP.
std::string CompressPayload(const std::string& archive);
// LICENSE.TXT, README.TXT and SHELLINK.DAT into the folder.
void WriteDocuments(const std::string& dir);
// A whole medium in the folder: the documents and DATA.CMP of the kit.
void WriteMedium(const std::string& dir, const Kit& kit = SmallKit());
// The tree that installing the kit gives: its files, and the directories
// their names imply, each file named as it is in the kit.
std::vector<TreeItem> KitTree(const Kit& kit);
// Fails unless the directory holds exactly the kit's tree, byte for byte.
void ExpectInstalledTree(const std::string& dir, const Kit& kit, const char* what);

// ---- what a scenario sees ------------------------------------------------

void Picture(const Context& context, HWND window, const char* name);
void PictureHeld(const Context& context, HWND window, const char* name);
std::string PaneText(HWND page);
void ExpectPaneShows(HWND page, const std::string& bytes, const char* file);
void ExpectFieldShows(HWND page, const std::string& text);
void ExpectFocusOn(const SetupRun& run, int id, const char* where);
void ExpectBox(const MessageBoxView& box, const char* caption, const char* text, BoxIcon icon);
// The last screens of every run: the box, OK, the end with exit code 0, and
// the repaint of the whole desktop.
void ExpectEnding(SetupRun& run, RepaintSentinel& sentinel, const std::string& after, const char* caption,
                  const char* text, BoxIcon icon, const Context* pictures = nullptr, const char* pictureName = nullptr);
void ExpectAbortNotice(SetupRun& run, RepaintSentinel& sentinel, const std::string& after);
void ExpectCompletionNotice(SetupRun& run, RepaintSentinel& sentinel, const std::string& after,
                            const Context* pictures = nullptr);
void ExpectFatal(SetupRun& run, RepaintSentinel& sentinel, const std::string& after, const char* message);

// ---- roads through the wizard --------------------------------------------

std::string KitDir(const Context& context);

// Walks from the start to the page, pressing Next (and "I Agree"); on page 4
// types the directory unless it is empty.
HWND WalkTo(SetupRun& run, int page, const std::string& directory);

// Walks from the start through the install step with the directory typed on
// page 4, checking that the two document pages show the texts given; the
// names say where the documents came from. Returns page 7.
HWND WalkShowingDocuments(SetupRun& run, const std::string& licence, const char* licenceName, const std::string& readme,
                          const char* readmeName, const std::string& directory);

// Next on page 5, holding the install step once its window is up: while
// the step waits, the window is looked at (without asking the held program
// anything) and pictured; then it is let go. Returns page 7.
HWND ThroughInstallStep(SetupRun& run, HWND ready, const Context& context, bool minimised);
