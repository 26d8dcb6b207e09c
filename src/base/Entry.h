// What the program received at its start.
#pragma once
#include <windows.h>

extern HINSTANCE AppInstance;  // module every dialog template is loaded from
extern int ShowCommand;        // show state the program was started with
