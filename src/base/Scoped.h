// Owners that release what they hold when they go out of scope, on every
// path: a C stream, a block from the heap, and the platform's file and LZ
// expansion handles.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <memory>

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
// A stream from fopen, closed with fclose. Where a failed close must be
// seen, release() the stream and close it yourself.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct HeapFreer {
  void operator()(void* block) const { std::free(block); }
};
// A block from malloc or realloc, released with free.
template <typename T>
using HeapBlock = std::unique_ptr<T, HeapFreer>;

#if defined(_WIN32)
#include <windows.h>
// lzexpand.h needs the types of windows.h first.
#include <lzexpand.h>

// The platform's handles are plain integers whose failed value is negative
// (HFILE_ERROR is -1), so they are held by value rather than by pointer.
template <typename Traits>
class ScopedHandle {
 public:
  explicit ScopedHandle(INT handle = -1) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  void Close() {
    if (handle_ >= 0) Traits::Close(handle_);
    handle_ = -1;
  }
  INT Get() const { return handle_; }
  bool Valid() const { return handle_ >= 0; }

 private:
  INT handle_;
};

struct LzTraits {
  static void Close(INT handle) { LZClose(handle); }
};
// An expansion handle from LZInit, which closes the file under it too.
using LzHandle = ScopedHandle<LzTraits>;

struct KernelFileTraits {
  static void Close(INT handle) { _lclose(static_cast<HFILE>(handle)); }
};
// A kernel file handle (an HFILE) for _lread and _lwrite. It is closed with
// _lclose, never with LZClose: LZClose takes the values of its own expansion
// handles for its own, and a file handle may have one of them.
using KernelFile = ScopedHandle<KernelFileTraits>;
#endif
