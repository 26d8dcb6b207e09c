#include "Templates.h"

#include <cstring>
#include <map>

#include "Harness.h"

namespace {

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD PAGE_STYLE = 0x80C800C4;      // popup, caption, system menu, modal frame, font, 3D look
constexpr DWORD PROGRESS_STYLE = 0x80C000C4;  // the same without the system menu
constexpr DWORD PANE = CHILD | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER;
constexpr int NONE = -1;

const std::vector<ExpectedTemplate>& Templates() {
  static const std::vector<ExpectedTemplate> templates = {
      {101,
       284,
       141,
       PAGE_STYLE,
       {
           {1001, "BUTTON", "Next >", 227, 119, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP},
           {1000, "BUTTON", "< Back", 170, 119, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
           {1003, "BUTTON", "Abort", 7, 119, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {NONE, "BUTTON", " Welcome! ", 7, 7, 270, 105, CHILD | BS_GROUPBOX},
           {NONE, "STATIC",
            "This program will guide you through the installation of the Quenvar 98 (shareware). If at any point you "
            "wish to abort the installation, click on the abort button located in the lower left of the window.",
            15, 22, 254, 28, CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC", "Thank you for your interest in our product.", 14, 54, 255, 10, CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC", nullptr /* the legal notice: checked apart */, 15, 75, 253, 28,
            CHILD | SS_CENTER | SS_SUNKEN | WS_GROUP},
       }},
      {102,
       284,
       205,
       PAGE_STYLE,
       {
           {1003, "BUTTON", "I Disagree", 170, 184, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP},
           {1001, "BUTTON", "I Agree", 227, 184, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {NONE, "BUTTON", "", 7, 7, 270, 172, CHILD | BS_GROUPBOX},
           {1005, "EDIT", "", 14, 50, 256, 121, PANE},
           {NONE, "STATIC",
            "Please read the following license agreement thoroughly. You must agree to the terms set out within. If "
            "you do not agree, click \"I Disagee\", the second button from the right located at the bottom of this "
            "screen.",
            13, 16, 258, 26, CHILD | SS_CENTER | WS_GROUP},
       }},
      {103,
       284,
       205,
       PAGE_STYLE,
       {
           {1001, "BUTTON", "Next >", 227, 184, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
           {1000, "BUTTON", "< Back", 170, 184, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {1003, "BUTTON", "Abort", 7, 184, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {NONE, "BUTTON", "", 7, 7, 270, 172, CHILD | BS_GROUPBOX},
           {1005, "EDIT", "", 14, 28, 256, 143, PANE},
           {NONE, "STATIC", "The following is important information you should know about this product:", 13, 16, 258,
            10, CHILD | SS_CENTER | WS_GROUP},
       }},
      {104,
       284,
       114,
       PAGE_STYLE,
       {
           {1001, "BUTTON", "Next >", 227, 91, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
           {1000, "BUTTON", "< Back", 170, 91, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {1003, "BUTTON", "Abort", 7, 91, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {NONE, "BUTTON", "", 7, 7, 270, 76, CHILD | BS_GROUPBOX},
           {1008, "EDIT", "", 15, 62, 253, 13, CHILD | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP},
           {NONE, "STATIC", "Installation Directory:", 15, 52, 130, 9, CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC",
            "Please indicate in the field provided below where you would like the software to be installed. If you "
            "are installing to a local hard drive and wish to use the default installation directory, click next and "
            "ignore the field.",
            15, 16, 253, 27, CHILD | SS_LEFT | WS_GROUP},
       }},
      {105,
       284,
       92,
       PAGE_STYLE,
       {
           {1001, "BUTTON", "Next >", 227, 70, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP},
           {1000, "BUTTON", "< Back", 170, 70, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {1003, "BUTTON", "Abort", 7, 70, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {NONE, "BUTTON", "", 7, 7, 270, 55, CHILD | BS_GROUPBOX},
           {NONE, "STATIC", "Setup is now ready to install.", 13, 18, 258, 9, CHILD | SS_CENTER | WS_GROUP},
           {NONE, "STATIC",
            "Click \"Next\" to continue with the installation, \"Back\" to make changes, or \"Abort\" to abort the "
            "installation.",
            14, 35, 255, 16, CHILD | SS_LEFT | WS_GROUP},
       }},
      {106,
       284,
       42,
       PROGRESS_STYLE,
       {
           {NONE, "STATIC", "Setup is now uncompressing and extracting the files. Please Wait.", 35, 7, 207, 11,
            0x50020000},
           {1009, "msctls_progress32", "", 13, 19, 258, 13, 0x50800000},
       }},
      {107,
       284,
       194,
       PAGE_STYLE,
       {
           {1001, "BUTTON", "Yes", 141, 172, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP},
           {1000, "BUTTON", "No", 87, 172, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP},
           {NONE, "BUTTON", "", 7, 7, 270, 157, CHILD | BS_GROUPBOX},
           {NONE, "STATIC", "Set Environment Variables?", 13, 16, 258, 10,
            CHILD | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP},
           {NONE, "STATIC",
            "Setting the environment variables reduces the number of steps required to compile programs that use the "
            "Quenvar (tm), but may also inhibit structure packing optimization with your other non-QVN related "
            "projects.",
            29, 31, 241, 33, CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC",
            "Structure packing is primarily only important when you are dealing with libraries that have been "
            "compiled using a different structure packing method and cannot deal with the different setting.",
            29, 67, 236, 27, CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC",
            "If you choose to set the environment variables and later decide that you no longer wish them set, they "
            "can be found in your AUTOEXEC.BAT file in the WCC386, CL and INCLUDE environment settings.",
            29, 97, 237, 27, CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC", "Would you like to set the environment variables?", 29, 149, 232, 10,
            CHILD | SS_LEFT | WS_GROUP},
           {NONE, "STATIC",
            "As a secondary precaution, your original unmodified AUTOEXEC.BAT will be backed up and saved as "
            "AUTOEXEC.QVB.",
            29, 126, 238, 18, CHILD | SS_LEFT | WS_GROUP},
       }},
  };
  return templates;
}

// The legal notice is ours to word: three sentences on the kit's legal
// protection, its rights holder and its trademarks.
void CheckLegalNotice(const std::string& text) {
  int sentences = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '.' && (i + 1 == text.size() || text[i + 1] == ' ')) ++sentences;
  Expect(sentences == 3, "the legal notice has %d sentences, not 3: \"%s\"", sentences, text.c_str());
  for (const char* word : {"protected", "rights", "trademark"})
    Expect(text.find(word) != std::string::npos, "the legal notice does not speak of \"%s\": \"%s\"", word,
           text.c_str());
}

// Reads a dialog template field by field.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}
  template <typename T>
  T Read() {
    Expect(at_ + sizeof(T) <= size_, "the template ends early at byte %lu", at_);
    T value;
    std::memcpy(&value, data_ + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  // A string of 16-bit characters, or 0xFFFF and an ordinal (as "#n").
  std::string ReadNameOrOrdinal() {
    WORD first = Read<WORD>();
    if (first == 0xFFFF) return "#" + std::to_string(Read<WORD>());
    std::string text;
    for (WORD c = first; c != 0; c = Read<WORD>()) text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return text;
  }
  void AlignToDword() { at_ = (at_ + 3) & ~DWORD{3}; }

 private:
  const BYTE* data_;
  DWORD size_;
  DWORD at_ = 0;
};

std::string ClassFromTemplate(const std::string& name) {
  static const std::map<std::string, std::string> atoms = {{"#128", "BUTTON"},    {"#129", "EDIT"},
                                                           {"#130", "STATIC"},    {"#131", "LISTBOX"},
                                                           {"#132", "SCROLLBAR"}, {"#133", "COMBOBOX"}};
  auto found = atoms.find(name);
  return found != atoms.end() ? found->second : name;
}

bool SameClass(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

// Dialog units to pixels for the pages' font, measured on a dialog of the
// driver's own with the same font.
INT_PTR CALLBACK IgnoreEverything(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

RECT ToPixels(short x, short y, short width, short height) {
  static HWND probe = [] {
    struct {
      DLGTEMPLATE header;
      WORD menu, windowClass, title, pointSize;
      WCHAR face[14];
    } probeTemplate = {};
    probeTemplate.header.style = WS_POPUP | DS_SETFONT;
    probeTemplate.header.cx = 10;
    probeTemplate.header.cy = 10;
    probeTemplate.pointSize = 8;
    std::memcpy(probeTemplate.face, L"MS Sans Serif", sizeof(L"MS Sans Serif"));
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &probeTemplate.header, nullptr, IgnoreEverything, 0);
  }();
  // The dialog manager converts the origin and the size each on its own.
  RECT origin = {x, y, 0, 0};
  RECT size = {0, 0, width, height};
  MapDialogRect(probe, &origin);
  MapDialogRect(probe, &size);
  return {origin.left, origin.top, origin.left + size.right, origin.top + size.bottom};
}

}  // namespace

const ExpectedTemplate& Template(int id) {
  for (const ExpectedTemplate& t : Templates())
    if (t.id == id) return t;
  Fail("no expectation for template %d", id);
}

const std::vector<int>& TemplateIds() {
  static const std::vector<int> ids = {101, 102, 103, 104, 105, 106, 107};
  return ids;
}

void CheckTemplateResource(const std::string& exePath, int id) {
  HMODULE module = LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  Expect(module != nullptr, "cannot load %s to read its resources", exePath.c_str());
  HRSRC resource = FindResourceExA(module, reinterpret_cast<LPCSTR>(RT_DIALOG), MAKEINTRESOURCEA(id),
                                   MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  Expect(resource != nullptr, "template %d is missing in English (United States)", id);
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
  TemplateReader in(data, SizeofResource(module, resource));
  const ExpectedTemplate& expected = Template(id);

  const auto style = in.Read<DWORD>();
  Expect(style != 0xFFFF0001, "template %d is an extended template, not a standard one", id);
  Expect(style == expected.style, "template %d: style %08lx, expected %08lx", id, style, expected.style);
  Expect(in.Read<DWORD>() == 0, "template %d has an extended style", id);
  const auto count = in.Read<WORD>();
  Expect(count == expected.controls.size(), "template %d has %u controls, expected %zu", id, count,
         expected.controls.size());
  const auto x = in.Read<short>(), y = in.Read<short>(), cx = in.Read<short>(), cy = in.Read<short>();
  Expect(x == 0 && y == 0, "template %d stands at %d,%d, not 0,0", id, x, y);
  Expect(cx == expected.width && cy == expected.height, "template %d is %dx%d, expected %dx%d", id, cx, cy,
         expected.width, expected.height);
  Expect(in.ReadNameOrOrdinal().empty(), "template %d has a menu", id);
  Expect(in.ReadNameOrOrdinal().empty(), "template %d names a window class", id);
  const std::string caption = in.ReadNameOrOrdinal();
  Expect(caption == "Setup", "template %d is captioned \"%s\"", id, caption.c_str());
  const auto points = in.Read<WORD>();
  const std::string face = in.ReadNameOrOrdinal();
  Expect(points == 8 && face == "MS Sans Serif", "template %d uses %u point \"%s\"", id, points, face.c_str());

  for (size_t i = 0; i < expected.controls.size(); ++i) {
    const ExpectedControl& want = expected.controls[i];
    in.AlignToDword();
    const auto cstyle = in.Read<DWORD>();
    const auto exstyle = in.Read<DWORD>();
    const auto ix = in.Read<short>(), iy = in.Read<short>(), icx = in.Read<short>(), icy = in.Read<short>();
    const auto cid = static_cast<short>(in.Read<WORD>());
    const std::string cls = ClassFromTemplate(in.ReadNameOrOrdinal());
    const std::string text = in.ReadNameOrOrdinal();
    const auto extra = in.Read<WORD>();
    for (WORD b = 0; b < extra; ++b) in.Read<BYTE>();

    const unsigned n = static_cast<unsigned>(i + 1);
    Expect(cid == want.id, "template %d control %u: identifier %d, expected %d", id, n, cid, want.id);
    Expect(SameClass(cls, want.className), "template %d control %u: class %s, expected %s", id, n, cls.c_str(),
           want.className);
    if (want.text) {
      Expect(text == want.text, "template %d control %u: text \"%s\", expected \"%s\"", id, n, text.c_str(), want.text);
    } else {
      CheckLegalNotice(text);
    }
    Expect(cstyle == want.style, "template %d control %u (\"%s\"): style %08lx, expected %08lx", id, n, text.c_str(),
           cstyle, want.style);
    Expect(exstyle == 0, "template %d control %u has an extended style", id, n);
    Expect(ix == want.x && iy == want.y && icx == want.width && icy == want.height,
           "template %d control %u (\"%s\"): %d,%d %dx%d, expected %d,%d %dx%d", id, n, text.c_str(), ix, iy, icx, icy,
           want.x, want.y, want.width, want.height);
    Expect(extra == 0, "template %d control %u carries creation data", id, n);
  }
  FreeLibrary(module);
}

void CheckCentred(HWND window, const char* what) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) >> 1) - (width >> 1);
  const int y = (GetSystemMetrics(SM_CYSCREEN) >> 1) - (height >> 1);
  Expect(r.left == x && r.top == y, "%s stands at %ld,%ld; centred it would stand at %d,%d", what, r.left, r.top, x, y);
}

void CheckLivePage(HWND page, int id) {
  const ExpectedTemplate& expected = Template(id);
  Expect(WindowText(page) == "Setup", "page %d is captioned \"%s\"", id, WindowText(page).c_str());
  const auto style = static_cast<DWORD>(GetWindowLongA(page, GWL_STYLE));
  Expect((style & WS_SYSMENU) && (style & WS_CAPTION) == WS_CAPTION, "page %d has no title bar with a close box", id);
  Expect(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)), "page %d has a minimise or maximise box", id);
  CheckCentred(page, ("page " + std::to_string(id)).c_str());

  RECT client;
  GetClientRect(page, &client);
  const RECT size = ToPixels(0, 0, expected.width, expected.height);
  Expect(client.right == size.right && client.bottom == size.bottom,
         "page %d's client area is %ldx%ld, expected %ldx%ld", id, client.right, client.bottom, size.right,
         size.bottom);

  const std::vector<Control> controls = ReadControls(page);
  Expect(controls.size() == expected.controls.size(), "page %d shows %zu controls, expected %zu", id, controls.size(),
         expected.controls.size());
  for (size_t i = 0; i < controls.size(); ++i) {
    const Control& c = controls[i];
    const ExpectedControl& want = expected.controls[i];
    const unsigned n = static_cast<unsigned>(i + 1);
    Expect(c.id == want.id, "page %d control %u: identifier %d, expected %d", id, n, c.id, want.id);
    Expect(SameClass(c.className, want.className), "page %d control %u: class %s, expected %s", id, n,
           c.className.c_str(), want.className);
    // The panes and the field are filled at run time; the scenarios check them.
    if (want.text && want.id != 1005 && want.id != 1008)
      Expect(c.text == want.text, "page %d control %u shows \"%s\", expected \"%s\"", id, n, c.text.c_str(), want.text);
    Expect(c.visible, "page %d control %u (\"%s\") is not visible", id, n, c.text.c_str());
    const bool enabled = !(want.style & WS_DISABLED);
    Expect(c.enabled == enabled, "page %d control %u (\"%s\") is %s", id, n, c.text.c_str(),
           c.enabled ? "enabled" : "disabled");
    const RECT at = ToPixels(want.x, want.y, want.width, want.height);
    Expect(EqualRect(&at, &c.rect) != FALSE,
           "page %d control %u (\"%s\") stands at %ld,%ld-%ld,%ld; the template puts it at %ld,%ld-%ld,%ld", id, n,
           c.text.c_str(), c.rect.left, c.rect.top, c.rect.right, c.rect.bottom, at.left, at.top, at.right, at.bottom);
  }
}
