// What the progress probe records inside SETUP.EXE, in memory that the driver
// shares with it: every message the program sends to the progress bar or its
// window, and the bar's range and position each time the program services the
// window. Named after the process, so that each run has its own.
#pragma once
#include <windows.h>

#include <cstdint>

enum class ProbeKind : std::int32_t {
  Sent = 1,    // a message the program sent to the bar or its window
  Pumped = 2,  // the program looked at the window's queue: the bar as it stood then
};

struct ProbeRecord {
  ProbeKind kind;
  std::uint32_t message;  // Sent: the message
  std::uint64_t wParam;   // Sent: its arguments
  std::uint64_t lParam;
  std::int32_t position;  // Pumped: the bar's position and range
  std::int32_t low;
  std::int32_t high;
  std::int32_t toBar;  // Sent: 1 when the message went to the bar itself
};

constexpr std::uint32_t PROBE_CAPACITY = 1u << 20;

struct ProbeLog {
  volatile LONG count;  // records taken; past the capacity only counted
  LONG ready;           // set by the probe once its hooks are in place
  ProbeRecord records[PROBE_CAPACITY];
};

// The shared memory's name for the process.
inline void ProbeLogName(DWORD processId, char* name, std::size_t size) {
  wsprintfA(name, "QvProgressProbe-%lu", static_cast<unsigned long>(processId));
  (void)size;
}
