// Compiler settings added to the boot batch file.
#pragma once

// Backs up "AUTOEXEC.BAT" as "AUTOEXEC.QVB" and appends the kit's SET lines.
void SetCompilerEnvironment();
