// The kit's program shortcuts, made by the platform's group converter.
#pragma once

// Converts "SHELLINK.DAT" into "SETUP.INI" in the Windows directory and
// starts "grpconv -o".
void CreateShortcuts();
