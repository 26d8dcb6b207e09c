// What the installer's extraction does for one entry: the directories its
// name implies, and its file with the restored data. Portable: the platform's
// directory creation comes in as a function.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/Transfer.h"

// The buffers that directory paths are built in.
constexpr std::size_t ENTRY_DIRECTORY_BUFFER = 272;

// Asks create for every directory that the leading components of the name
// make below the directory, outermost first, each joined to the directory
// with "%s\%s"; the last component, the file's name, is never asked for. A
// backslash or a slash ends a component where it stands as a character of
// the code page, never as the second byte of another. The prefix is built as components
// joined by backslashes, and only a non-empty prefix takes a separator first:
// so a leading separator makes the first request the directory itself with a
// backslash after it, and the rest are those of the name without it. Create's
// result is not looked at: an existing directory is asked for again. False,
// with no further request, when a path does not fit its buffer.
bool ForEachEntryDirectory(const char* directory, const char* name, unsigned codePage,
                           void (*create)(const char* path, void* context), void* context);

// The one writer of an entry's file, for the installer's extraction and for
// LibraryExtract. Writes size bytes of entry data, read from the archive at
// dataOffset and restored, to the file that joins the directory and the name
// with "%s\%s", creating or truncating it, in chunks of TRANSFER_CHUNK bytes
// through the buffer of COPY_BUFFER bytes. False when the path does not fit
// 260 bytes, the file cannot be created, or a read, write or the close fails
// or comes up short; a file that was created is then removed again, so that
// no half-written file stays under the name. Data that runs past the end of
// the archive is found only by the read that comes up short: a caller that
// must leave an existing file alone checks the archive's length first.
bool WriteEntryFile(std::FILE* archive, std::int64_t dataOffset, std::int32_t size, const char* directory,
                    const char* name, unsigned char* buffer);
