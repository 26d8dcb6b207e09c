// The end-to-end driver's view of a running SETUP.EXE: its windows, their
// controls, and the ways a user acts on them. Every wait is bounded and
// fails saying what it waited for.
#pragma once
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws a Failure with the formatted message.
[[noreturn]] void Fail(const char* format, ...);

// Fails with the formatted message unless the condition holds.
void Expect(bool condition, const char* format, ...);

constexpr DWORD WAIT_LIMIT_MS = 20000;

// Polls the condition, servicing the driver's own windows meanwhile, until it
// holds; fails after the limit saying what it waited for.
void WaitUntil(const std::string& what, const std::function<bool()>& condition, DWORD limitMs = WAIT_LIMIT_MS);

// Services the driver's own windows once.
void PumpOwnMessages();

// Sends a message to a window of another program and returns its answer; a
// window that is gone answers 0. A program that does not answer within the
// limit fails the scenario, naming the message: SendMessage alone would wait
// for a program that hangs as long as it hangs.
constexpr DWORD ANSWER_LIMIT_MS = 10000;
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what);

std::string WindowText(HWND window);  // asks the window itself (WM_GETTEXT), as it works across processes
// The text the system keeps for a window of another process, read without
// asking that process: the way to read a window whose program is held.
std::string StoredText(HWND window);
std::string ClassOf(HWND window);
std::string Printable(const std::string& text);  // escapes control characters for messages

// The path of a file of the test build that lies beside the driver (the
// probe, kitpack.exe, the planted DLL and its control).
std::string BesideTheDriver(const char* name);

struct Control {
  HWND window;
  int id;
  std::string className;
  std::string text;
  bool enabled;
  bool visible;
  RECT rect;  // in the client coordinates of the dialog
};

// The dialog's controls in template order (the order the dialog manager made them).
std::vector<Control> ReadControls(HWND dialog);
const Control* FindControl(const std::vector<Control>& controls, int id);

// What SETUP.EXE shows at a moment: a wizard page, a message box, or nothing
// because it has ended.
enum class ScreenKind { Page, MessageBox, Exited };

struct Screen {
  ScreenKind kind;
  HWND window;
  int page;  // template number of a page (101 to 105, 107); 0 otherwise
};

enum class BoxIcon { None, Error, Warning, Other };

struct MessageBoxView {
  HWND window;
  std::string caption;
  std::string text;
  BoxIcon icon;
};

const char* IconName(BoxIcon icon);
std::string Describe(const Screen& screen);

// One run of SETUP.EXE, started with a show state in the current directory
// or in the one given. Once its first page is up, the program creates
// directories as Windows does, not as Wine does: no path over 247
// characters (RefuseLongDirectories).
class SetupRun {
 public:
  SetupRun(const std::string& exePath, WORD showCommand, const std::string& currentDirectory = "");
  ~SetupRun();
  SetupRun(const SetupRun&) = delete;
  SetupRun& operator=(const SetupRun&) = delete;

  // Waits for whatever comes after the screen last seen: the next page, a
  // message box, or the end of the process.
  Screen Next(const std::string& after, DWORD limitMs = WAIT_LIMIT_MS);
  HWND ExpectPage(int page, const std::string& after);
  MessageBoxView ExpectMessageBox(const std::string& after);
  // Reads a message box that Next() has just shown, once it is painted.
  MessageBoxView ReadBox(const Screen& screen);
  // Dismisses a message box with its OK button.
  void Acknowledge(const MessageBoxView& box);
  // Waits for the process to end and returns its exit code.
  DWORD ExpectExit(const std::string& after);

  // The page's window as the user sees it now, or fails.
  HWND CurrentPage() const;

  void Click(HWND dialog, int id);                          // a button press
  void CloseBox(HWND window);                               // the close box in the title bar
  void Key(HWND dialog, WORD virtualKey);                   // a key pressed where the focus is
  void Type(HWND dialog, int id, const std::string& text);  // replaces the field's text by typing
  HWND Focus() const;                                       // the control that has the keyboard focus

  // Every top-level dialog window of the process, hidden ones included.
  std::vector<HWND> Dialogs() const;
  // The progress window, if it exists (visible or not).
  HWND ProgressWindow() const;

  HANDLE Process() const { return process_; }
  DWORD ThreadId() const { return threadId_; }
  bool HasExited() const;

 private:
  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD processId_ = 0;
  DWORD threadId_ = 0;
  HWND lastSeen_ = nullptr;
  DWORD started_ = 0;
  bool strictDirectories_ = false;  // the program's CreateDirectoryA is Windows' now
};

// Identifies a visible wizard page by its controls; 0 if it is none.
int PageOf(HWND dialog);

// Reads a message box: caption, text and which icon it shows.
MessageBoxView ReadMessageBox(HWND box);

// A small window of the driver's in the screen's top-left corner, where no
// window of the setup program ever stands: it is repainted only when the
// whole desktop is.
class RepaintSentinel {
 public:
  RepaintSentinel();
  ~RepaintSentinel();
  void Arm();                                      // forgets earlier paints
  void ExpectRepainted(const std::string& after);  // waits for a paint since Arm()
 private:
  HWND window_ = nullptr;
};
