// The subcommands of kitpack, one source file each. Each prints its own
// messages, naming the file and the problem, and returns the process exit
// code: 0 on success, 1 on a failure. None holds the kit's files, an archive
// or a payload whole: they read and write them a piece at a time, so that
// their memory does not grow with the kit.
//
// The commands that compress take jobs: how many blocks of the payload are
// compressed at once (0: one for each of the machine's cores). The payload
// is the same for any number.
//
// Names and texts are in the code page of the machines the kit is for: pack
// and medium write them so, and list, verify and extract read them so.
#pragma once
#include <filesystem>
#include <string>

class CodePage;

// A whole setup medium from a kit folder: its files/ tree packed, compressed
// and checked as DATA.CMP, beside LICENSE.TXT, README.TXT, SHELLINK.DAT and
// SETUP.EXE (the file setup, or the one kitpack carries when setup is empty).
// Each text is converted into the code page when it is UTF-8 with characters
// past ASCII, and copied as it is otherwise. The shortcut list is checked
// against the tree first, as setup will read both.
int MediumCommand(const std::filesystem::path& kit, const std::filesystem::path& outDir,
                  const std::filesystem::path& setup, const CodePage& codePage, unsigned jobs);

// The same medium as an ISO 9660 CD image in one file: SETUP.EXE, DATA.CMP
// and the texts in its root under their 8.3 names. The volume label is
// labelOption upper-cased, or, when that is empty, the kit folder's name made
// into one. Every timestamp is SOURCE_DATE_EPOCH when it is set, a fixed date
// otherwise, so that the same kit gives the same bytes.
int ImageCommand(const std::filesystem::path& kit, const std::filesystem::path& image,
                 const std::filesystem::path& setup, const std::string& labelOption, const CodePage& codePage,
                 unsigned jobs);

// The tree packed into a library archive.
int PackCommand(const std::filesystem::path& tree, const std::filesystem::path& output, const CodePage& codePage);

// The file compressed into an SZDD payload, checked by expanding it again.
int CompressCommand(const std::filesystem::path& input, const std::filesystem::path& output, unsigned jobs);

// The entries of an archive or of a compressed payload: size, data offset, name.
int ListCommand(const std::filesystem::path& file, const CodePage& codePage);

// 0 only when the archive (or the archive inside a compressed payload) holds
// everything setup relies on. Given a medium folder, its DATA.CMP is verified
// so, and its LICENSE.TXT, README.TXT and SHELLINK.DAT must be there, the
// shortcut list holding against the payload's entries.
int VerifyCommand(const std::filesystem::path& file, const CodePage& codePage);

// Every entry of a verified archive written below the directory, backslashes
// becoming directories, each name back in the build machine's encoding.
int ExtractCommand(const std::filesystem::path& file, const std::filesystem::path& directory, const CodePage& codePage);
