// The page sequencer: walks the wizard from the welcome page to its end.
#pragma once

// Runs pages until the run is finished or aborted, then shows the matching
// notice and returns.
void RunWizard();
