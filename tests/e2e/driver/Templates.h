// What each dialog template of SETUP.EXE must hold, control by control, and
// the checks of a template and of a live page against it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct ExpectedControl {
  int id;
  const char* className;
  const char* text;
  short x, y, width, height;  // dialog units
  DWORD style;
};

struct ExpectedTemplate {
  int id;
  short width, height;  // dialog units
  DWORD style;
  std::vector<ExpectedControl> controls;
};

const ExpectedTemplate& Template(int id);
const std::vector<int>& TemplateIds();

// Parses the dialog template of that number, in English (United States), out
// of the program file and compares every field with the expectation.
void CheckTemplateResource(const std::string& exePath, int id);

// Compares a page on the screen with its template: caption, close box,
// centring, and every control's identifier, class, text, state and place.
void CheckLivePage(HWND page, int id);

// The window's outer rectangle is centred on the screen as the program
// centres it (each size halved on its own, rounding down).
void CheckCentred(HWND window, const char* what);
