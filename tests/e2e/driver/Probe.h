// The progress probe seen from the driver: loads it into a running SETUP.EXE
// and reads what it recorded as the phases of the progress protocol.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../probe/ProbeLog.h"

class SetupRun;

// One phase of the install step as the bar went through it.
struct ProgressPhase {
  std::uint64_t range;         // lParam of the phase's PBM_SETRANGE: maximum in the high word
  int startHigh;               // the range's maximum as the bar gave it at the phase's first pump
  std::vector<int> positions;  // the bar's position at the pump after each step
  std::vector<int> highs;      // and its range's maximum there
  bool lastPainted = true;     // the last step was taken with the bar's redrawing on
};

class ProgressProbe {
 public:
  // Loads the probe into the program, which must not have reached the
  // install step yet.
  explicit ProgressProbe(const SetupRun& run);
  ~ProgressProbe();
  ProgressProbe(const ProgressProbe&) = delete;
  ProgressProbe& operator=(const ProgressProbe&) = delete;

  std::vector<ProbeRecord> Records() const;

  // The records read as the protocol lays them out: pumps before the work;
  // then for each phase PBM_SETRANGE with minimum 0, PBM_SETSTEP 1,
  // PBM_SETPOS 0 and a pump, then PBM_STEPIT and a pump per unit of work,
  // with the bar's redrawing perhaps held back in between;
  // and last WM_CLOSE to the window and a pump. A run that ended in a fatal
  // error (closed false) may stop after any pump instead. Fails saying what
  // was out of place.
  std::vector<ProgressPhase> Phases(bool closed = true) const;

 private:
  HANDLE mapping_ = nullptr;
  ProbeLog* log_ = nullptr;
};
