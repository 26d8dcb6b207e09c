#include "wizard/WizardState.h"

const char DEFAULT_INSTALL_DIR[] = "C:\\QUENV98";

char InstallDir[PATH_BUFFER];
char* PageText;
char DirectoryFieldInit[PATH_BUFFER];
char DirectoryFieldEntry[PATH_BUFFER];
