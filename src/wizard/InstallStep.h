// The install step, run in the place of page 6.
#pragma once

// Creates the installation directory, shows the progress window, runs both
// installation phases, deletes the library archive and closes the window.
void RunInstallStep();
