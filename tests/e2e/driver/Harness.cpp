#include "Harness.h"

#include <cstdarg>
#include <cstdio>

#include "Inject.h"

namespace {

std::string Format(const char* format, va_list args) {
  char buffer[4096];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  return buffer;
}

bool IsProgressWindow(HWND dialog) { return FindWindowExA(dialog, nullptr, "msctls_progress32", nullptr) != nullptr; }

struct EnumState {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM state) {
  auto* s = reinterpret_cast<EnumState*>(state);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s->processId && ClassOf(window) == "#32770") s->found.push_back(window);
  return TRUE;
}

// Counts the icon's red and yellow pixels on the screen: the error icon is a
// red disc, the warning icon a yellow triangle.
BoxIcon ClassifyIcon(HWND iconControl) {
  if (!iconControl || !IsWindowVisible(iconControl)) return BoxIcon::None;
  if (Ask(iconControl, STM_GETICON, 0, 0, "STM_GETICON") == 0) return BoxIcon::None;
  RECT r;
  GetWindowRect(iconControl, &r);
  HDC screen = GetDC(nullptr);
  int red = 0, yellow = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      const int R = GetRValue(c), G = GetGValue(c), B = GetBValue(c);
      if (R > 180 && G < 90 && B < 90) ++red;
      if (R > 180 && G > 160 && B < 90) ++yellow;
    }
  }
  ReleaseDC(nullptr, screen);
  if (red > 100) return BoxIcon::Error;
  if (yellow > 50) return BoxIcon::Warning;
  return BoxIcon::Other;
}

LRESULT CALLBACK SentinelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    SetWindowLongPtrA(window, GWLP_USERDATA, GetWindowLongPtrA(window, GWLP_USERDATA) + 1);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The message is printed where the failure is found, before the unwinding
// stops the setup program: if that cannot be done, the driver ends there
// (see ~SetupRun) and the message must already be out.
[[noreturn]] void Throw(const std::string& message) {
  std::fprintf(stderr, "FAILED: %s\n", message.c_str());
  throw Failure(message);
}

}  // namespace

void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = Format(format, args);
  va_end(args);
  Throw(message);
}

void Expect(bool condition, const char* format, ...) {
  if (condition) return;
  va_list args;
  va_start(args, format);
  std::string message = Format(format, args);
  va_end(args);
  Throw(message);
}

void PumpOwnMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void WaitUntil(const std::string& what, const std::function<bool()>& condition, DWORD limitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpOwnMessages();
    if (condition()) return;
    if (GetTickCount() - start > limitMs) Fail("waited %lu ms for %s", limitMs, what.c_str());
    Sleep(5);
  }
}

std::string StoredText(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) {
  DWORD_PTR answer = 0;
  SetLastError(ERROR_SUCCESS);
  if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, ANSWER_LIMIT_MS, &answer) != 0)
    return static_cast<LRESULT>(answer);
  if (GetLastError() == ERROR_TIMEOUT && IsWindow(window)) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    Fail("window %p (class %s) of process %lu did not answer %s within %lu ms", static_cast<void*>(window),
         ClassOf(window).c_str(), processId, what, ANSWER_LIMIT_MS);
  }
  return 0;
}

std::string WindowText(HWND window) {
  const LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0, "WM_GETTEXTLENGTH");
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT got = Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), "WM_GETTEXT");
  text.resize(static_cast<size_t>(got));
  return text;
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c < 32 || c >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else
      out += static_cast<char>(c);
  }
  return out;
}

std::string BesideTheDriver(const char* name) {
  char path[MAX_PATH];
  const DWORD got = GetModuleFileNameA(nullptr, path, sizeof path);
  Expect(got > 0 && got < sizeof path, "the driver cannot tell where it lies");
  std::string dir(path, got);
  return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

std::vector<Control> ReadControls(HWND dialog) {
  std::vector<Control> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    Control c;
    c.window = child;
    c.id = static_cast<short>(GetDlgCtrlID(child));  // 0xFFFF reads as -1
    c.className = ClassOf(child);
    c.text = WindowText(child);
    c.enabled = IsWindowEnabled(child) != FALSE;
    c.visible = IsWindowVisible(child) != FALSE;
    GetWindowRect(child, &c.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
    controls.push_back(c);
  }
  return controls;
}

const Control* FindControl(const std::vector<Control>& controls, int id) {
  for (const Control& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

// Reads only the texts the system keeps (captions, labels, buttons), never
// asking the program: the driver polls with it while the program may be
// busy or ending, and a window of a program that ends mid-question must not
// hold the driver.
int PageOf(HWND dialog) {
  if (StoredText(dialog) != "Setup" || IsProgressWindow(dialog)) return 0;
  auto textOf = [&](int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? StoredText(control) : std::string("<none>");
  };
  if (GetDlgItem(dialog, 1008)) return 104;
  if (GetDlgItem(dialog, 1005)) return textOf(1001) == "I Agree" ? 102 : 103;
  if (textOf(1001) == "Yes") return 107;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::string text = StoredText(child);
    if (text == " Welcome! ") return 101;
    if (text == "Setup is now ready to install.") return 105;
  }
  return 0;
}

MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  view.window = box;
  view.caption = WindowText(box);
  HWND text = GetDlgItem(box, 0xFFFF);
  view.text = text ? WindowText(text) : std::string();
  // The box's icon is a static control of its own next to the text.
  HWND icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (child != text && ClassOf(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      icon = child;
  }
  view.icon = ClassifyIcon(icon);
  return view;
}

const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None: return "no icon";
    case BoxIcon::Error: return "the error icon";
    case BoxIcon::Warning: return "the warning icon";
    default: return "another icon";
  }
}

std::string Describe(const Screen& screen) {
  char text[512];
  switch (screen.kind) {
    case ScreenKind::Exited: return "the end of the process";
    case ScreenKind::Page: std::snprintf(text, sizeof text, "page %d", screen.page); return text;
    default: {
      MessageBoxView box = ReadMessageBox(screen.window);
      std::snprintf(text, sizeof text, "a message box \"%s\": \"%s\"", box.caption.c_str(),
                    Printable(box.text).c_str());
      return text;
    }
  }
}

SetupRun::SetupRun(const std::string& exePath, WORD showCommand, const std::string& currentDirectory) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showCommand;
  PROCESS_INFORMATION info = {};
  std::string commandLine = "\"" + exePath + "\"";
  // Wine now and then loses a new process while it is being set up, before
  // the program's entry point: the start fails with ERROR_INTERNAL_ERROR.
  // Nothing of the program has run then, so the start is tried again, twice
  // at most, and the log says so.
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info))
      break;
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) Fail("could not start %s (error %lu)", exePath.c_str(), error);
    std::printf("could not start %s (error %lu: the new process was lost before it began); starting it again\n",
                exePath.c_str(), error);
  }
  process_ = info.hProcess;
  thread_ = info.hThread;
  processId_ = info.dwProcessId;
  threadId_ = info.dwThreadId;
  started_ = GetTickCount();
}

SetupRun::~SetupRun() {
  // A scenario that failed half way leaves no setup program behind. One that
  // cannot be stopped is hung inside the platform, and any window of the
  // driver's that goes away after it (a change of the active window) would
  // wait on it for ever: the driver ends here instead.
  if (!HasExited()) {
    TerminateProcess(process_, 99);
    if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) {
      std::fprintf(stderr, "FAILED: the setup program (process %lu) did not end when stopped\n", processId_);
      TerminateProcess(GetCurrentProcess(), 1);
    }
  }
  CloseHandle(thread_);
  CloseHandle(process_);
}

bool SetupRun::HasExited() const { return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }

std::vector<HWND> SetupRun::Dialogs() const {
  EnumState state{processId_, {}};
  EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND SetupRun::ProgressWindow() const {
  for (HWND dialog : Dialogs())
    if (IsProgressWindow(dialog)) return dialog;
  return nullptr;
}

Screen SetupRun::Next(const std::string& after, DWORD limitMs) {
  Screen screen{ScreenKind::Exited, nullptr, 0};
  // The progress window comes and goes on its own; scenarios that look at it
  // hold the install step where they want it.
  WaitUntil(
      "a page, a message box or the end of the process after " + after,
      [&] {
        for (HWND dialog : Dialogs()) {
          if (dialog == lastSeen_ || !IsWindowVisible(dialog) || IsProgressWindow(dialog)) continue;
          if (StoredText(dialog) == "Setup") {
            const int page = PageOf(dialog);
            if (page == 0) continue;  // still being built
            screen = {ScreenKind::Page, dialog, page};
          } else {
            // A box has its OK button from the start; a window of the program
            // that is being torn down (the progress window, as the process
            // ends after a fatal box) has lost its children and its text.
            if (GetDlgItem(dialog, IDOK) == nullptr) continue;
            screen = {ScreenKind::MessageBox, dialog, 0};
          }
          return true;
        }
        if (HasExited()) {
          screen = {ScreenKind::Exited, nullptr, 0};
          return true;
        }
        return false;
      },
      limitMs);
  lastSeen_ = screen.window;
  // Before the program can create a directory: that comes after the pages.
  if (screen.kind == ScreenKind::Page && !strictDirectories_) {
    RefuseLongDirectories(process_);
    strictDirectories_ = true;
  }
  // A log of the road taken, shown when a scenario fails.
  std::printf("[%lu ms] after %s: %s\n", GetTickCount() - started_, after.c_str(), Describe(screen).c_str());
  return screen;
}

HWND SetupRun::ExpectPage(int page, const std::string& after) {
  Screen screen = Next(after);
  Expect(screen.kind == ScreenKind::Page && screen.page == page, "expected page %d after %s, saw %s", page,
         after.c_str(), Describe(screen).c_str());
  return screen.window;
}

MessageBoxView SetupRun::ExpectMessageBox(const std::string& after) {
  Screen screen = Next(after);
  Expect(screen.kind == ScreenKind::MessageBox, "expected a message box after %s, saw %s", after.c_str(),
         Describe(screen).c_str());
  return ReadBox(screen);
}

MessageBoxView SetupRun::ReadBox(const Screen& screen) {
  // The icon can be told only once the box has been painted.
  MessageBoxView box = ReadMessageBox(screen.window);
  for (DWORD start = GetTickCount(); box.icon == BoxIcon::Other && GetTickCount() - start < 3000;) {
    Sleep(20);
    box = ReadMessageBox(screen.window);
  }
  return box;
}

void SetupRun::Acknowledge(const MessageBoxView& box) {
  HWND ok = GetDlgItem(box.window, IDOK);
  Expect(ok != nullptr, "the message box \"%s\" has no OK button", box.caption.c_str());
  Expect(WindowText(ok) == "OK", "the message box's only button reads \"%s\", not OK", WindowText(ok).c_str());
  PostMessageA(ok, BM_CLICK, 0, 0);
}

DWORD SetupRun::ExpectExit(const std::string& after) {
  Screen screen = Next(after);
  Expect(screen.kind == ScreenKind::Exited, "expected the program to end after %s, saw %s", after.c_str(),
         Describe(screen).c_str());
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

HWND SetupRun::CurrentPage() const {
  for (HWND dialog : Dialogs())
    if (IsWindowVisible(dialog) && PageOf(dialog) != 0) return dialog;
  Fail("no page of the setup program is on the screen");
}

// Posted, not sent: the press is handled by the page's own dialog loop in
// the order of the driver's actions, and the driver never blocks on it.
void SetupRun::Click(HWND dialog, int id) {
  Expect(IsWindow(dialog) != FALSE, "the page closed before control %d could be pressed", id);
  HWND button = GetDlgItem(dialog, id);
  Expect(button != nullptr, "the page has no control %d to press", id);
  if (!IsWindowEnabled(button))
    Fail("control %d (\"%s\") is disabled and cannot be pressed", id, StoredText(button).c_str());
  PostMessageA(button, BM_CLICK, 0, 0);
}

void SetupRun::CloseBox(HWND window) {
  Expect((GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU) != 0, "the window has no close box");
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

HWND SetupRun::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(threadId_, &info);
  return info.hwndFocus;
}

// The key goes through the page's dialog loop as typed keys do: to the
// control with the focus, where the dialog manager looks at it first.
void SetupRun::Key(HWND dialog, WORD virtualKey) {
  HWND target = Focus();
  if (!target) target = dialog;
  const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
}

void SetupRun::Type(HWND dialog, int id, const std::string& text) {
  HWND field = GetDlgItem(dialog, id);
  Expect(field != nullptr, "the page has no field %d to type into", id);
  Ask(field, EM_SETSEL, 0, -1, "EM_SETSEL");
  PostMessageA(field, WM_CHAR, VK_BACK, 0);  // removes the selected text
  // One character of the ANSI code page at a time, as an input method
  // delivers it: a character of two bytes arrives whole, and never as two
  // messages that the system would have to pair up again.
  const int size = static_cast<int>(text.size());
  std::wstring wide(text.size(), L'\0');
  const int got = size == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], size);
  Expect(size == 0 || got > 0, "the text to type is not text in code page %u", GetACP());
  for (int i = 0; i < got; ++i) PostMessageW(field, WM_CHAR, wide[static_cast<std::size_t>(i)], 0);
}

RepaintSentinel::RepaintSentinel() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = SentinelProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QvRepaintSentinel";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassA(&wc);
  window_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP, 0, 0,
                            24, 24, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  UpdateWindow(window_);
  PumpOwnMessages();
}

RepaintSentinel::~RepaintSentinel() { DestroyWindow(window_); }

void RepaintSentinel::Arm() {
  PumpOwnMessages();
  ValidateRect(window_, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
}

void RepaintSentinel::ExpectRepainted(const std::string& after) {
  WaitUntil("the whole desktop to be repainted after " + after,
            [&] { return GetWindowLongPtrA(window_, GWLP_USERDATA) > 0; });
}
