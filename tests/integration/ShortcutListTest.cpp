#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

#include "integration/ShortcutList.h"

namespace {

namespace fs = std::filesystem;

class CopyShortcutListTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qv-shortcut-list-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  struct Copied {
    ListCopy status;
    std::string out;
    std::size_t leftOut;
  };

  // The list as a real file, copied to a real file, below the installation
  // directory "D:\Q" and without short forms.
  Copied Copy(const std::string& list) {
    Write(dir_ / "SHELLINK.DAT", list);
    std::FILE* in = std::fopen((dir_ / "SHELLINK.DAT").c_str(), "rb");
    std::FILE* out = std::fopen((dir_ / "SETUP.INI").c_str(), "wb");
    Copied copied{ListCopy::Done, "", 99};
    copied.status = CopyShortcutList(in, out, "D:\\Q", nullptr, copied.leftOut);
    std::fclose(in);
    std::fclose(out);
    copied.out = Read(dir_ / "SETUP.INI");
    return copied;
  }

  fs::path dir_;
};

// The piece rule: a read takes up to and including the newline, at most 499
// characters, and each piece is handled as a line of its own.
TEST_F(CopyShortcutListTest, CopiesAndConvertsPieceByPiece) {
  const std::string n494(494, 'N');
  const std::string long1200 = std::string(1200, 'x') + "\n";
  struct {
    const char* why;
    std::string list;
    std::string expected;
  } rows[] = {
      {"an empty list gives an empty file", "", ""},
      {"a list without item lines is copied as it is", "[progman.groups]\ngroup0=Quenvar 98\n\n[group0]\n",
       "[progman.groups]\ngroup0=Quenvar 98\n\n[group0]\n"},
      {"a last line without a line end is written without one", "[group0]\nlast", "[group0]\nlast"},
      {"a last item line without a line end gets one", "[g]\n(T,\\a,\\b",
       "[g]\n\"T\",\"D:\\Q\\a\",\"D:\\Q\\a\",,,\"D:\\Q\\b\"\n"},
      {"only the first position makes an item line", " (T,\\a,\\b\n(T,\\a,\\b\n",
       " (T,\\a,\\b\n\"T\",\"D:\\Q\\a\",\"D:\\Q\\a\",,,\"D:\\Q\\b\"\n"},
      {"a NUL is written back like any other character", std::string("a\0b\nc\n", 6), std::string("a\0b\nc\n", 6)},
      {"a line of 498 characters and its newline is one piece", std::string(498, 'y') + "\n",
       std::string(498, 'y') + "\n"},
      {"a long line that is not an item line comes back whole", long1200 + long1200, long1200 + long1200},
      // 1 + 494 + 4 characters make the first piece "(NNN...,\a,": its third
      // field is empty. The rest, "\b", is copied as a line of its own.
      {"a long item line is converted from its first 499 characters", "(" + n494 + ",\\a,\\b\n",
       "\"" + n494 + "\",\"D:\\Q\\a\",\"D:\\Q\\a\",,,\"D:\\Q\"\n\\b\n"},
      {"and a rest that begins with \"(\" is an item line too", "(" + n494 + ",\\a,(X,\\c,\\d\n",
       "\"" + n494 + "\",\"D:\\Q\\a\",\"D:\\Q\\a\",,,\"D:\\Q\"\n\"X\",\"D:\\Q\\c\",\"D:\\Q\\c\",,,\"D:\\Q\\d\"\n"},
      {"a line of exactly 499 characters leaves its newline as a piece of its own",
       "(" + std::string(490, 'N') + ",\\a,\\bcd\n[g]\n",
       "\"" + std::string(490, 'N') + "\",\"D:\\Q\\a\",\"D:\\Q\\a\",,,\"D:\\Q\\bcd\"\n\n[g]\n"},
  };
  for (const auto& row : rows) {
    Copied copied = Copy(row.list);
    EXPECT_EQ(copied.status, ListCopy::Done) << row.why;
    EXPECT_EQ(copied.out, row.expected) << row.why;
    EXPECT_EQ(copied.leftOut, 0u) << row.why;
  }
}

TEST_F(CopyShortcutListTest, ItemLinesThatDoNotFitAreLeftOut) {
  const std::string tooLong = "(T,\\" + std::string(300, 'p') + "\n";
  Copied copied = Copy("[g]\n" + tooLong + "(U,\\a,\\b\n" + tooLong);
  EXPECT_EQ(copied.status, ListCopy::Done);
  EXPECT_EQ(copied.out, "[g]\n\"U\",\"D:\\Q\\a\",\"D:\\Q\\a\",,,\"D:\\Q\\b\"\n")
      << "nothing of a line that does not fit";
  EXPECT_EQ(copied.leftOut, 2u);
}

TEST_F(CopyShortcutListTest, ReadAndWriteFailuresStopTheCopy) {
  std::size_t leftOut = 0;
  // A directory opens for reading but cannot be read.
  std::FILE* directory = std::fopen(dir_.c_str(), "rb");
  ASSERT_NE(directory, nullptr);
  std::FILE* out = std::fopen((dir_ / "SETUP.INI").c_str(), "wb");
  EXPECT_EQ(CopyShortcutList(directory, out, "D:\\Q", nullptr, leftOut), ListCopy::ReadFailed);
  std::fclose(directory);
  std::fclose(out);

  // A full disk, with every write going straight to it.
  for (const char* list : {"[g]\n", "(T,\\a,\\b\n"}) {
    Write(dir_ / "SHELLINK.DAT", list);
    std::FILE* in = std::fopen((dir_ / "SHELLINK.DAT").c_str(), "rb");
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_EQ(CopyShortcutList(in, full, "D:\\Q", nullptr, leftOut), ListCopy::WriteFailed) << list;
    std::fclose(in);
    std::fclose(full);
  }
}

// Callers that hold the list's bytes split it with ListPieceLength; it must
// cut exactly where a read of the file does.
TEST_F(CopyShortcutListTest, PiecesInMemoryMatchPiecesReadFromTheFile) {
  const std::string lists[] = {
      "",
      "\n\n\n",
      "no line end",
      std::string(499, 'a'),
      std::string(499, 'a') + "\n",
      std::string(500, 'a'),
      std::string(998, 'a') + "\nb\n" + std::string(1500, 'c'),
      std::string("x\0y\n\0", 5),
  };
  for (const std::string& list : lists) {
    Write(dir_ / "SHELLINK.DAT", list);
    std::FILE* in = std::fopen((dir_ / "SHELLINK.DAT").c_str(), "rb");
    std::vector<std::size_t> fromFile;
    char piece[LIST_READ_LIMIT];
    for (std::size_t got; (got = ReadListPiece(in, piece)) > 0;) {
      EXPECT_EQ(piece[got], '\0');
      fromFile.push_back(got);
    }
    std::fclose(in);

    std::vector<std::size_t> inMemory;
    for (std::size_t at = 0; at < list.size();) {
      std::size_t got = ListPieceLength(list.data() + at, list.size() - at);
      inMemory.push_back(got);
      at += got;
    }
    EXPECT_EQ(fromFile, inMemory) << list.size() << " bytes";
    for (std::size_t got : fromFile) EXPECT_LE(got, 499u);
  }
}

}  // namespace
