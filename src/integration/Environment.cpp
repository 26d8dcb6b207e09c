#include "integration/Environment.h"

// Not written yet: so far Yes on the environment page changes nothing.
void SetCompilerEnvironment() {}
