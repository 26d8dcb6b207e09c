#include "base/WizardState.h"

char InstallDir[PATH_BUFFER];
char* PageText;
char DirectoryFieldInit[PATH_BUFFER];
char DirectoryFieldEntry[PATH_BUFFER];
