#include "integration/Shortcuts.h"

// Not written yet: so far no shortcuts are made.
void CreateShortcuts() {}
