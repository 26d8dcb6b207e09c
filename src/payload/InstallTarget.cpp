#include "payload/InstallTarget.h"

#include <windows.h>

#include <cstring>

#include "base/Format.h"
#include "base/WizardState.h"
#include "payload/LibraryFormat.h"

bool FormLibraryPath(char (&path)[PATH_BUFFER]) {
  return FormatText(path, sizeof path, "%s\\%s", InstallDir, LIBRARY_ARCHIVE_NAME);
}

NameTarget InstallNameTarget() { return {std::strlen(InstallDir), GetACP()}; }
