#include "Probe.h"

#include <commctrl.h>

#include <cstdio>

#include "Harness.h"
#include "Inject.h"

namespace {

std::string Describe(const ProbeRecord& r) {
  char text[160];
  if (r.kind == ProbeKind::Pumped) {
    std::snprintf(text, sizeof text, "a pump with the bar at %d of %d..%d", r.position, r.low, r.high);
  } else {
    std::snprintf(text, sizeof text, "message %u (%llu, 0x%llx) to the %s", r.message,
                  static_cast<unsigned long long>(r.wParam), static_cast<unsigned long long>(r.lParam),
                  r.toBar ? "bar" : "window");
  }
  return text;
}

// Walks the records one by one, failing with the place of the first that
// breaks the protocol.
class Reader {
 public:
  explicit Reader(const std::vector<ProbeRecord>& records) : records_(records) {}
  bool AtEnd() const { return at_ >= records_.size(); }
  const ProbeRecord* Peek() const { return AtEnd() ? nullptr : &records_[at_]; }
  bool NextIsPump() const { return !AtEnd() && records_[at_].kind == ProbeKind::Pumped; }
  bool NextIsSent(UINT message) const {
    return !AtEnd() && records_[at_].kind == ProbeKind::Sent && records_[at_].message == message;
  }
  // A pump is one or more looks at the queue in a row; gives the last.
  ProbeRecord Pump(const char* after) {
    if (!NextIsPump()) {
      Fail("record %zu: expected the window to be pumped after %s, saw %s", at_, after,
           AtEnd() ? "the end" : Describe(records_[at_]).c_str());
    }
    while (at_ + 1 < records_.size() && records_[at_ + 1].kind == ProbeKind::Pumped) ++at_;
    return records_[at_++];
  }
  ProbeRecord Sent(UINT message, bool toBar, const char* what) {
    if (!NextIsSent(message) || (records_[at_].toBar != 0) != toBar) {
      Fail("record %zu: expected %s, saw %s", at_, what, AtEnd() ? "the end" : Describe(records_[at_]).c_str());
    }
    return records_[at_++];
  }

 private:
  const std::vector<ProbeRecord>& records_;
  std::size_t at_ = 0;
};

}  // namespace

ProgressProbe::ProgressProbe(const SetupRun& run) {
  char name[64];
  ProbeLogName(GetProcessId(run.Process()), name, sizeof name);
  mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeLog), name);
  if (!mapping_) Fail("cannot make the progress probe's shared memory (error %lu)", GetLastError());
  log_ = static_cast<ProbeLog*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(ProbeLog)));
  if (!log_) Fail("cannot map the progress probe's shared memory (error %lu)", GetLastError());
  // The program loads the probe as its thread takes a message through the
  // message hook (see the probe); the message posted here is one to take.
  const std::string path = BesideTheDriver("probe.dll");
  HMODULE probe = LoadLibraryA(path.c_str());
  if (!probe) Fail("cannot load %s (error %lu)", path.c_str(), GetLastError());
  const auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeMessageHook")));
  if (!hookProc) Fail("%s has no ProbeMessageHook", path.c_str());
  struct Hook {
    HHOOK handle;
    HMODULE module;
    ~Hook() {
      if (handle) UnhookWindowsHookEx(handle);
      FreeLibrary(module);
    }
  } hook{SetWindowsHookExA(WH_GETMESSAGE, hookProc, probe, run.ThreadId()), probe};
  if (!hook.handle) Fail("cannot hook the setup program's messages (error %lu)", GetLastError());
  PostThreadMessageA(run.ThreadId(), WM_NULL, 0, 0);
  WaitUntil("the setup program to load the progress probe and put its hooks in place",
            [&] { return log_->ready == 1; });
}

ProgressProbe::~ProgressProbe() {
  if (log_) UnmapViewOfFile(log_);
  if (mapping_) CloseHandle(mapping_);
}

std::vector<ProbeRecord> ProgressProbe::Records() const {
  const LONG count = log_->count;
  Expect(count <= static_cast<LONG>(PROBE_CAPACITY), "the progress probe took %ld records, more than it holds",
         static_cast<long>(count));
  return std::vector<ProbeRecord>(log_->records, log_->records + count);
}

std::vector<ProgressPhase> ProgressProbe::Phases(bool closed) const {
  const std::vector<ProbeRecord> records = Records();
  Reader reader(records);
  reader.Pump("the progress window was shown");
  std::vector<ProgressPhase> phases;
  // The program may hold the bar's redrawing back between steps (WM_SETREDRAW
  // off), so that a step moves it without painting; it must be on again
  // whenever a phase begins, the last step of a phase is taken, a fatal box
  // comes up or the window is closed.
  bool redraw = true;
  auto skipRedraw = [&] {
    while (reader.NextIsSent(WM_SETREDRAW)) {
      const ProbeRecord r = reader.Sent(WM_SETREDRAW, true, "WM_SETREDRAW to the bar");
      Expect((r.wParam != 0) != redraw, "the bar's redrawing is turned %s twice", redraw ? "on" : "off");
      redraw = r.wParam != 0;
    }
  };
  for (;;) {
    skipRedraw();
    if (!reader.NextIsSent(PBM_SETRANGE)) break;
    Expect(redraw, "phase %zu begins with the bar's redrawing held back", phases.size() + 1);
    ProgressPhase phase;
    const ProbeRecord range = reader.Sent(PBM_SETRANGE, true, "PBM_SETRANGE");
    Expect(range.wParam == 0 && (range.lParam & 0xFFFF) == 0, "phase %zu sets the range with (%llu, 0x%llx)",
           phases.size() + 1, static_cast<unsigned long long>(range.wParam),
           static_cast<unsigned long long>(range.lParam));
    phase.range = range.lParam;
    const ProbeRecord step = reader.Sent(PBM_SETSTEP, true, "PBM_SETSTEP after PBM_SETRANGE");
    Expect(step.wParam == 1, "phase %zu sets a step of %llu", phases.size() + 1,
           static_cast<unsigned long long>(step.wParam));
    const ProbeRecord position = reader.Sent(PBM_SETPOS, true, "PBM_SETPOS after PBM_SETSTEP");
    Expect(position.wParam == 0, "phase %zu starts the bar at %llu", phases.size() + 1,
           static_cast<unsigned long long>(position.wParam));
    const ProbeRecord start = reader.Pump("the bar was set up");
    Expect(start.position == 0 && start.low == 0, "phase %zu begins with the bar at %d of %d..%d", phases.size() + 1,
           start.position, start.low, start.high);
    phase.startHigh = start.high;
    for (;;) {
      skipRedraw();
      if (!reader.NextIsSent(PBM_STEPIT)) break;
      phase.lastPainted = redraw;
      reader.Sent(PBM_STEPIT, true, "PBM_STEPIT");
      const ProbeRecord pumped = reader.Pump("PBM_STEPIT");
      phase.positions.push_back(pumped.position);
      phase.highs.push_back(pumped.high);
    }
    phases.push_back(phase);
  }
  Expect(redraw, "the bar's redrawing is still held back when the work %s", closed ? "is done" : "stops");
  if (!closed) {
    if (!reader.AtEnd()) Fail("a run that ended early went on to %s", Describe(*reader.Peek()).c_str());
    return phases;
  }
  reader.Sent(WM_CLOSE, false, "WM_CLOSE to the window after the last phase");
  reader.Pump("WM_CLOSE");
  if (!reader.AtEnd()) Fail("after the window was closed came %s", Describe(*reader.Peek()).c_str());
  return phases;
}
