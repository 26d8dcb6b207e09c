// The progress probe: a DLL that SETUP.EXE loads for the driver. It points
// the program's imports of SendMessageA and PeekMessageA at hooks of its own
// that record, in the shared ProbeLog, every message sent to the progress
// bar or its window, and the bar's range and position whenever the program
// pumps the window's messages; then each hook calls the real function. The
// bar is read through the real SendMessageA, so those reads are not
// recorded. Nothing else of the program changes.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "ProbeLog.h"

namespace {

constexpr int PROGRESS_BAR_ID = 1009;

using SendMessageFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using PeekMessageFn = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT);

SendMessageFn RealSendMessage;
PeekMessageFn RealPeekMessage;
ProbeLog* Log;

ProbeRecord* Take() {
  const LONG slot = InterlockedIncrement(&Log->count) - 1;
  return slot < static_cast<LONG>(PROBE_CAPACITY) ? &Log->records[slot] : nullptr;
}

bool IsProgressWindow(HWND window) { return window != nullptr && GetDlgItem(window, PROGRESS_BAR_ID) != nullptr; }

LRESULT WINAPI SendMessageHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool toBar = window != nullptr && GetDlgCtrlID(window) == PROGRESS_BAR_ID;
  if (toBar || IsProgressWindow(window)) {
    if (ProbeRecord* r = Take()) {
      *r = {};
      r->kind = ProbeKind::Sent;
      r->message = message;
      r->wParam = wParam;
      r->lParam = static_cast<std::uint64_t>(lParam);
      r->toBar = toBar ? 1 : 0;
    }
  }
  return RealSendMessage(window, message, wParam, lParam);
}

BOOL WINAPI PeekMessageHook(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
  if (IsProgressWindow(window)) {
    HWND bar = GetDlgItem(window, PROGRESS_BAR_ID);
    if (ProbeRecord* r = Take()) {
      *r = {};
      r->kind = ProbeKind::Pumped;
      r->position = static_cast<std::int32_t>(RealSendMessage(bar, PBM_GETPOS, 0, 0));
      r->low = static_cast<std::int32_t>(RealSendMessage(bar, PBM_GETRANGE, TRUE, 0));
      r->high = static_cast<std::int32_t>(RealSendMessage(bar, PBM_GETRANGE, FALSE, 0));
    }
  }
  return RealPeekMessage(message, window, first, last, remove);
}

// The slot of the program's import table through which its own code calls
// the function, or null.
ULONG_PTR* ImportSlot(const char* dll, const char* function) {
  auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) return &slots->u1.Function;
    }
  }
  return nullptr;
}

// Points the slot at the hook; gives what it pointed at before.
void* Redirect(ULONG_PTR* slot, void* hook) {
  DWORD previous = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous);
  void* original = reinterpret_cast<void*>(*slot);
  *slot = reinterpret_cast<ULONG_PTR>(hook);
  VirtualProtect(slot, sizeof *slot, previous, &previous);
  return original;
}

// Both slots are found before either is changed: a probe that refuses to
// load must leave the program as it was.
bool Install() {
  char name[64];
  ProbeLogName(GetCurrentProcessId(), name, sizeof name);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (mapping == nullptr) return false;
  Log = static_cast<ProbeLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(ProbeLog)));
  ULONG_PTR* send = ImportSlot("user32.dll", "SendMessageA");
  ULONG_PTR* peek = ImportSlot("user32.dll", "PeekMessageA");
  if (Log == nullptr || send == nullptr || peek == nullptr) return false;
  RealSendMessage = reinterpret_cast<SendMessageFn>(Redirect(send, reinterpret_cast<void*>(&SendMessageHook)));
  RealPeekMessage = reinterpret_cast<PeekMessageFn>(Redirect(peek, reinterpret_cast<void*>(&PeekMessageHook)));
  Log->ready = 1;
  return true;
}

}  // namespace

// The driver has the program load the probe through a message hook on the
// program's thread: the system loads the hook's DLL in that thread as it
// takes its next message, a point where the program is in no call of its
// own. (A thread started in the program from outside would be set up by
// Wine inside a signal handler, wherever the program stood, even inside the
// C library's allocator, whose heap it then corrupts.) The hook itself
// passes every message on.
extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// In the program, the hooks go in place and the probe stays loaded when the
// message hook is taken away; the driver, which loads it only to find the
// message hook, has no shared log and gets no hooks. The log's ready flag
// tells the driver whether the hooks are in place.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH && Install()) {
    HMODULE pinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(instance), &pinned);
  }
  return TRUE;
}
