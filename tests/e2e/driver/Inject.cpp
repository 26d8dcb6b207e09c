#include "Inject.h"

#include <psapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "Harness.h"
#include "base/Paths.h"

namespace {

template <typename T>
T ReadRemote(HANDLE process, std::uintptr_t address) {
  T value{};
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(address), &value, sizeof value, &got) ||
      got != sizeof value)
    Fail("cannot read the setup program's memory at %p", reinterpret_cast<void*>(address));
  return value;
}

std::string ReadRemoteString(HANDLE process, std::uintptr_t address) {
  std::string text;
  for (;;) {
    char c = ReadRemote<char>(process, address + text.size());
    if (c == '\0' || text.size() > 512) return text;
    text.push_back(c);
  }
}

std::vector<HMODULE> RemoteModules(HANDLE process) {
  std::vector<HMODULE> modules(512);
  DWORD needed = 0;
  if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
    Fail("cannot list the setup program's modules (error %lu)", GetLastError());
  modules.resize(needed / sizeof(HMODULE));
  return modules;
}

// Address of the import-table slot through which the program's own code
// calls the function.
std::uintptr_t ImportSlot(HANDLE process, const char* dll, const char* function) {
  const auto base = reinterpret_cast<std::uintptr_t>(RemoteModules(process).at(0));  // the program itself
  const auto dos = ReadRemote<IMAGE_DOS_HEADER>(process, base);
  // The program is built for the driver's own processor, so its headers and
  // slots have the driver's sizes.
  const auto nt = ReadRemote<IMAGE_NT_HEADERS>(process, base + dos.e_lfanew);
  const IMAGE_DATA_DIRECTORY directory = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (std::uintptr_t at = base + directory.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto descriptor = ReadRemote<IMAGE_IMPORT_DESCRIPTOR>(process, at);
    if (descriptor.Name == 0) break;
    if (_stricmp(ReadRemoteString(process, base + descriptor.Name).c_str(), dll) != 0) continue;
    for (std::uintptr_t i = 0;; ++i) {
      const auto thunk =
          ReadRemote<IMAGE_THUNK_DATA>(process, base + descriptor.OriginalFirstThunk + i * sizeof(IMAGE_THUNK_DATA));
      if (thunk.u1.AddressOfData == 0) break;
      if (IMAGE_SNAP_BY_ORDINAL(thunk.u1.Ordinal)) continue;
      if (ReadRemoteString(process, base + static_cast<std::uintptr_t>(thunk.u1.AddressOfData) + 2) == function)
        return base + descriptor.FirstThunk + i * sizeof(IMAGE_THUNK_DATA);
    }
  }
  Fail("the setup program does not import %s from %s", function, dll);
}

// Where a function of a system DLL lies in the other process: the same
// offset into the DLL of the same name.
std::uintptr_t RemoteAddressOf(HANDLE process, const char* dll, const char* function) {
  FARPROC local = GetProcAddress(GetModuleHandleA(dll), function);
  HMODULE localModule = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(local), &localModule);
  char localName[MAX_PATH] = "";
  GetModuleBaseNameA(GetCurrentProcess(), localModule, localName, MAX_PATH);
  for (HMODULE module : RemoteModules(process)) {
    char name[MAX_PATH] = "";
    GetModuleBaseNameA(process, module, name, MAX_PATH);
    if (_stricmp(name, localName) == 0)
      return reinterpret_cast<std::uintptr_t>(module) +
             (reinterpret_cast<std::uintptr_t>(local) - reinterpret_cast<std::uintptr_t>(localModule));
  }
  Fail("the setup program has not loaded %s", localName);
}

std::uintptr_t PlaceCode(HANDLE process, const std::vector<std::uint8_t>& code) {
  void* remote = VirtualAllocEx(process, nullptr, code.size(), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
  if (!remote) Fail("cannot place code in the setup program (error %lu)", GetLastError());
  SIZE_T written = 0;
  if (!WriteProcessMemory(process, remote, code.data(), code.size(), &written) || written != code.size())
    Fail("cannot write code into the setup program");
  FlushInstructionCache(process, remote, code.size());
  return reinterpret_cast<std::uintptr_t>(remote);
}

void PointSlot(HANDLE process, std::uintptr_t slot, std::uintptr_t target) {
  DWORD previous = 0;
  if (!VirtualProtectEx(process, reinterpret_cast<void*>(slot), sizeof target, PAGE_READWRITE, &previous))
    Fail("cannot unprotect the setup program's import table (error %lu)", GetLastError());
  SIZE_T written = 0;
  const BOOL ok = WriteProcessMemory(process, reinterpret_cast<void*>(slot), &target, sizeof target, &written);
  VirtualProtectEx(process, reinterpret_cast<void*>(slot), sizeof target, previous, &previous);
  if (!ok || written != sizeof target) Fail("cannot rewrite the setup program's import table");
}

void Append(std::vector<std::uint8_t>& code, std::initializer_list<std::uint8_t> bytes) {
  code.insert(code.end(), bytes);
}

void AppendValue(std::vector<std::uint8_t>& code, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) code.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void FailImport(HANDLE process, const char* dll, const char* function, std::uintptr_t result, int stackArguments) {
  std::vector<std::uint8_t> code;
#if defined(_WIN64)
  (void)stackArguments;        // the first four arguments come in registers, and the caller cleans up
  Append(code, {0x48, 0xB8});  // mov rax, result
  AppendValue(code, result, 8);
  Append(code, {0xC3});  // ret
#else
  Append(code, {0xB8});  // mov eax, result
  AppendValue(code, result, 4);
  Append(code, {0xC2});  // ret n: takes the arguments off as the real function would
  AppendValue(code, static_cast<std::uint64_t>(stackArguments) * 4, 2);
#endif
  PointSlot(process, ImportSlot(process, dll, function), PlaceCode(process, code));
}

void RefuseLongDirectories(HANDLE process) {
  const std::uintptr_t slot = ImportSlot(process, "kernel32.dll", "CreateDirectoryA");
  const auto original = ReadRemote<std::uintptr_t>(process, slot);
  const std::uintptr_t setLastError = RemoteAddressOf(process, "kernel32.dll", "SetLastError");
  std::vector<std::uint8_t> code;
  // Counts the path's characters, then either jumps to the real function
  // with everything as the caller left it, or sets the error and returns
  // FALSE.
#if defined(_WIN64)
  Append(code, {0x31, 0xC0});              // xor eax, eax (rcx: the path)
  Append(code, {0x80, 0x3C, 0x01, 0x00});  // count: cmp byte [rcx+rax], 0
  Append(code, {0x74, 0x05});              // je counted
  Append(code, {0x48, 0xFF, 0xC0});        // inc rax
  Append(code, {0xEB, 0xF5});              // jmp count
  Append(code, {0x48, 0x3D});              // counted: cmp rax, limit
  AppendValue(code, DIRECTORY_PATH_LIMIT, 4);
  Append(code, {0x77, 0x0C});  // ja refuse
  Append(code, {0x48, 0xB8});  // mov rax, original
  AppendValue(code, original, 8);
  Append(code, {0xFF, 0xE0});              // jmp rax
  Append(code, {0x48, 0x83, 0xEC, 0x28});  // refuse: sub rsp, 40: shadow space, the stack aligned
  Append(code, {0xB9});                    // mov ecx, ERROR_FILENAME_EXCED_RANGE
  AppendValue(code, ERROR_FILENAME_EXCED_RANGE, 4);
  Append(code, {0x48, 0xB8});  // mov rax, SetLastError
  AppendValue(code, setLastError, 8);
  Append(code, {0xFF, 0xD0});              // call rax
  Append(code, {0x48, 0x83, 0xC4, 0x28});  // add rsp, 40
  Append(code, {0x31, 0xC0, 0xC3});        // xor eax, eax; ret
#else
  Append(code, {0x8B, 0x54, 0x24, 0x04});  // mov edx, [esp+4]: the path
  Append(code, {0x31, 0xC0});              // xor eax, eax
  Append(code, {0x80, 0x3C, 0x02, 0x00});  // count: cmp byte [edx+eax], 0
  Append(code, {0x74, 0x03});              // je counted
  Append(code, {0x40});                    // inc eax
  Append(code, {0xEB, 0xF7});              // jmp count
  Append(code, {0x3D});                    // counted: cmp eax, limit
  AppendValue(code, DIRECTORY_PATH_LIMIT, 4);
  Append(code, {0x77, 0x07});  // ja refuse
  Append(code, {0xB8});        // mov eax, original
  AppendValue(code, original, 4);
  Append(code, {0xFF, 0xE0});  // jmp eax
  Append(code, {0x68});        // refuse: push ERROR_FILENAME_EXCED_RANGE
  AppendValue(code, ERROR_FILENAME_EXCED_RANGE, 4);
  Append(code, {0xB8});  // mov eax, SetLastError
  AppendValue(code, setLastError, 4);
  Append(code, {0xFF, 0xD0});        // call eax
  Append(code, {0x31, 0xC0});        // xor eax, eax
  Append(code, {0xC2, 0x08, 0x00});  // ret 8: the path and the security attributes
#endif
  PointSlot(process, slot, PlaceCode(process, code));
}

ImportGate::ImportGate(HANDLE process, const char* dll, const char* function) {
  event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  held_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE remoteEvent = nullptr, remoteHeld = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), event_, process, &remoteEvent, SYNCHRONIZE, FALSE, 0) ||
      !DuplicateHandle(GetCurrentProcess(), held_, process, &remoteHeld, EVENT_MODIFY_STATE, FALSE, 0))
    Fail("cannot hand the gate's events to the setup program");
  const std::uintptr_t slot = ImportSlot(process, dll, function);
  const auto original = ReadRemote<std::uintptr_t>(process, slot);
  const std::uintptr_t wait = RemoteAddressOf(process, "user32.dll", "MsgWaitForMultipleObjects");
  const std::uintptr_t ancestor = RemoteAddressOf(process, "user32.dll", "GetAncestor");
  const std::uintptr_t redraw = RemoteAddressOf(process, "user32.dll", "RedrawWindow");
  const std::uintptr_t signal = RemoteAddressOf(process, "kernel32.dll", "SetEvent");

#if defined(_WIN64)
  // Keeps the four argument registers, paints the window and puts it on the
  // screen, tells the driver it is held, waits for the release, then jumps
  // to the real function. Only a wait for messages puts what was painted on
  // the screen (a plain wait would leave it in the program's window
  // buffers), so one that returns at once comes first. The frame below the four saved registers is
  // 56 bytes, which keeps the stack aligned as the calling convention wants:
  // 32 bytes of shadow space, the wait's fifth argument, the event handle.
  std::vector<std::uint8_t> code;
  Append(code, {0x51, 0x52, 0x41, 0x50, 0x41, 0x51});  // push rcx; push rdx; push r8; push r9
  Append(code, {0x48, 0x83, 0xEC, 0x38});              // sub rsp, 56
  Append(code, {0xBA});                                // mov edx, GA_ROOT (rcx: the window)
  AppendValue(code, GA_ROOT, 4);
  Append(code, {0x48, 0xB8});  // mov rax, GetAncestor
  AppendValue(code, ancestor, 8);
  Append(code, {0xFF, 0xD0});        // call rax
  Append(code, {0x48, 0x89, 0xC1});  // mov rcx, rax
  Append(code, {0x31, 0xD2});        // xor edx, edx
  Append(code, {0x45, 0x31, 0xC0});  // xor r8d, r8d
  Append(code, {0x41, 0xB9});        // mov r9d, flags
  AppendValue(code, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW, 4);
  Append(code, {0x48, 0xB8});  // mov rax, RedrawWindow
  AppendValue(code, redraw, 8);
  Append(code, {0xFF, 0xD0});                                            // call rax
  Append(code, {0x48, 0xC7, 0x44, 0x24, 0x20, 0x00, 0x00, 0x00, 0x00});  // mov qword [rsp+32], 0: no wake mask
  Append(code, {0x31, 0xC9, 0x31, 0xD2});                                // xor ecx, ecx; xor edx, edx
  Append(code, {0x45, 0x31, 0xC0, 0x45, 0x31, 0xC9});                    // xor r8d, r8d; xor r9d, r9d: no wait
  Append(code, {0x48, 0xB8});                                            // mov rax, MsgWaitForMultipleObjects
  AppendValue(code, wait, 8);
  Append(code, {0xFF, 0xD0});  // call rax
  Append(code, {0x48, 0xB9});  // mov rcx, held
  AppendValue(code, reinterpret_cast<std::uintptr_t>(remoteHeld), 8);
  Append(code, {0x48, 0xB8});  // mov rax, SetEvent
  AppendValue(code, signal, 8);
  Append(code, {0xFF, 0xD0});  // call rax
  Append(code, {0x48, 0xB8});  // mov rax, event
  AppendValue(code, reinterpret_cast<std::uintptr_t>(remoteEvent), 8);
  Append(code, {0x48, 0x89, 0x44, 0x24, 0x28});                          // mov [rsp+40], rax
  Append(code, {0x48, 0xC7, 0x44, 0x24, 0x20, 0x00, 0x00, 0x00, 0x00});  // mov qword [rsp+32], 0: no wake mask
  Append(code, {0xB9, 0x01, 0x00, 0x00, 0x00});                          // mov ecx, 1
  Append(code, {0x48, 0x8D, 0x54, 0x24, 0x28});                          // lea rdx, [rsp+40]
  Append(code, {0x45, 0x31, 0xC0});                                      // xor r8d, r8d
  Append(code, {0x41, 0xB9});                                            // mov r9d, 60000
  AppendValue(code, 60000, 4);
  Append(code, {0x48, 0xB8});  // mov rax, MsgWaitForMultipleObjects
  AppendValue(code, wait, 8);
  Append(code, {0xFF, 0xD0});                          // call rax
  Append(code, {0x48, 0x83, 0xC4, 0x38});              // add rsp, 56
  Append(code, {0x41, 0x59, 0x41, 0x58, 0x5A, 0x59});  // pop r9; pop r8; pop rdx; pop rcx
  Append(code, {0x48, 0xB8});                          // mov rax, original
  AppendValue(code, original, 8);
  Append(code, {0xFF, 0xE0});  // jmp rax
#else
  // Paints the window and puts it on the screen, tells the driver it is
  // held, waits for the release, then jumps to the real function with the
  // stack as the caller left it. Only a wait for messages puts what was
  // painted on the screen (a plain wait would leave it in the program's
  // window buffers), so one that returns at once comes first. Every call
  // here takes its own arguments off the stack; eax, ecx and edx are the
  // caller's to lose, and the functions called keep the rest.
  std::vector<std::uint8_t> code;
  Append(code, {0x68});  // push GA_ROOT
  AppendValue(code, GA_ROOT, 4);
  Append(code, {0xFF, 0x74, 0x24, 0x08});  // push dword [esp+8]: the window
  Append(code, {0xB8});                    // mov eax, GetAncestor
  AppendValue(code, ancestor, 4);
  Append(code, {0xFF, 0xD0});  // call eax
  Append(code, {0x68});        // push flags
  AppendValue(code, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW, 4);
  Append(code, {0x6A, 0x00, 0x6A, 0x00, 0x50});  // push 0; push 0; push eax
  Append(code, {0xB8});                          // mov eax, RedrawWindow
  AppendValue(code, redraw, 4);
  Append(code, {0xFF, 0xD0});                                      // call eax
  Append(code, {0x6A, 0x00, 0x6A, 0x00, 0x6A, 0x00, 0x6A, 0x00});  // no wake mask, no wait, not all, no array
  Append(code, {0x6A, 0x00});                                      // push 0: a count of none
  Append(code, {0xB8});                                            // mov eax, MsgWaitForMultipleObjects
  AppendValue(code, wait, 4);
  Append(code, {0xFF, 0xD0});  // call eax
  Append(code, {0x68});        // push held
  AppendValue(code, reinterpret_cast<std::uintptr_t>(remoteHeld), 4);
  Append(code, {0xB8});  // mov eax, SetEvent
  AppendValue(code, signal, 4);
  Append(code, {0xFF, 0xD0});  // call eax
  Append(code, {0x68});        // push event: the one-handle array, on the stack
  AppendValue(code, reinterpret_cast<std::uintptr_t>(remoteEvent), 4);
  Append(code, {0x89, 0xE1});  // mov ecx, esp
  Append(code, {0x6A, 0x00});  // push 0: no wake mask
  Append(code, {0x68});        // push 60000
  AppendValue(code, 60000, 4);
  Append(code, {0x6A, 0x00, 0x51, 0x6A, 0x01});  // push 0; push ecx; push 1
  Append(code, {0xB8});                          // mov eax, MsgWaitForMultipleObjects
  AppendValue(code, wait, 4);
  Append(code, {0xFF, 0xD0});        // call eax
  Append(code, {0x83, 0xC4, 0x04});  // add esp, 4: the array
  Append(code, {0xB8});              // mov eax, original
  AppendValue(code, original, 4);
  Append(code, {0xFF, 0xE0});  // jmp eax
#endif
  PointSlot(process, slot, PlaceCode(process, code));
}

ImportGate::~ImportGate() {
  Release();
  CloseHandle(event_);
  CloseHandle(held_);
}

void ImportGate::WaitHeld(const std::string& what) {
  WaitUntil(what, [&] { return WaitForSingleObject(held_, 0) == WAIT_OBJECT_0; });
}

void ImportGate::Release() { SetEvent(event_); }
