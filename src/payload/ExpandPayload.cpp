#include "payload/ExpandPayload.h"

// Not written yet: so far the install step expands nothing.
void ExpandPayload(HWND) {}
