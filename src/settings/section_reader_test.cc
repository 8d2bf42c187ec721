// Tests of the sectioned file reader against real files in a temporary folder.
#include "settings/section_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

class SectionReader : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("kestal_section_" + std::to_string(getpid()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini"))
                .string();
  }
  void TearDown() override { std::remove(path_.c_str()); }

  void write(const std::string& bytes) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  // Reads with a cleared output, as the callers do.
  std::string value(std::string_view section, std::string_view key, std::size_t capacity = 2050) {
    std::string out;
    std::int32_t length = read_section_value(section, key, out, capacity, path_);
    EXPECT_EQ(length, static_cast<std::int32_t>(out.size()));
    return out;
  }

  std::string path_;
};

TEST_F(SectionReader, HeadersAndSectionBounds) {
  write(
      "KEY=before\n"
      "[OTHER]\nKEY=other\n"
      "[REGVAL] \t\n"
      "  KEY \t=  a = b \t\n"
      " [REGVAL]\n"
      "LATE=never\n");
  EXPECT_EQ(value("REGVAL", "KEY"), "a = b");
  EXPECT_EQ(value("OTHER", "KEY"), "other");
  // A line starting with a blank is no header, but it still ends the section.
  EXPECT_EQ(value("REGVAL", "LATE"), "");
  EXPECT_EQ(value("regval", "KEY"), "");
  EXPECT_EQ(value("REGVAL", "key"), "");
  EXPECT_EQ(value("MISSING", "KEY"), "");
}

TEST_F(SectionReader, OnlyTheFirstSectionAndKeyCount) {
  write("[S]\nK=first\nK=second\n[S]\nK=third\nJ=later\n");
  EXPECT_EQ(value("S", "K"), "first");
  EXPECT_EQ(value("S", "J"), "");
}

TEST_F(SectionReader, SkippedLinesAndEmptyValues) {
  write("[S]\n=x\nno equals\n\n   \nEMPTY=\nBLANK=  \t \nK=v\n");
  EXPECT_EQ(value("S", "K"), "v");
  EXPECT_EQ(value("S", ""), "");
  EXPECT_EQ(value("S", "EMPTY"), "");
  EXPECT_EQ(value("S", "BLANK"), "");
}

TEST_F(SectionReader, MissingValueKeepsTheOutput) {
  write("[S]\nK=v\n");
  std::string out = "kept";
  EXPECT_EQ(read_section_value("S", "X", out, 100, path_), 4);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(read_section_value("S", "K", out, 100, path_ + ".none"), 4);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(read_section_value("S", "K", out, 100, path_), 1);
  EXPECT_EQ(out, "v");
}

TEST_F(SectionReader, ValueIsCutToCapacityMinusOne) {
  write("[S]\nK=abcdefgh\nL=abc\n");
  EXPECT_EQ(value("S", "K", 5), "abcd");
  EXPECT_EQ(value("S", "L", 4), "abc");  // the line end is cut away, not a character
  EXPECT_EQ(value("S", "L", 1), "");
}

TEST_F(SectionReader, LineEndsCrLfAndNoFinalLineEnd) {
  write("[S]  \r\nA = one \r\nB=two");
  EXPECT_EQ(value("S", "A"), "one");
  EXPECT_EQ(value("S", "B"), "two");
  // Only the CR right before the LF belongs to the line end.
  write("[S]\r\nA=one\r\r\nB=\rtwo\r\n");
  EXPECT_EQ(value("S", "A"), "one\r");
  EXPECT_EQ(value("S", "B"), "\rtwo");
}

TEST_F(SectionReader, CtrlZEndsTheFile) {
  // As in Windows text mode: nothing after the first Ctrl-Z is read, not even the
  // rest of its line, and a CR before it is an ordinary character.
  write("[S]\r\nA=one\r\nB=tw\x1Ao\r\nC=three\r\n[T]\r\nD=d\r\n");
  EXPECT_EQ(value("S", "A"), "one");
  EXPECT_EQ(value("S", "B"), "tw");
  EXPECT_EQ(value("S", "C"), "");
  EXPECT_EQ(value("T", "D"), "");
  write("[S]\nA=one\n\x1A");
  EXPECT_EQ(value("S", "A"), "one");
}

TEST_F(SectionReader, NulByteEndsTheLine) {
  write(std::string("[S]\nK=ab\0cd\nL=x\0\nM=y\n", 22));
  EXPECT_EQ(value("S", "K"), "ab");
  EXPECT_EQ(value("S", "L"), "x");
  EXPECT_EQ(value("S", "M"), "y");
}

TEST_F(SectionReader, LongLinesAreReadInParts) {
  // 118 characters plus the line end fit one read.
  std::string fits = "A=" + std::string(116, 'x');
  // A longer line is read as 119 characters, and the rest as a line of its own.
  std::string split = "B=" + std::string(117, 'y') + "C=tail";
  write("[S]\n" + fits + "\n" + split + "\n");
  EXPECT_EQ(value("S", "A"), std::string(116, 'x'));
  EXPECT_EQ(value("S", "B"), std::string(117, 'y'));
  EXPECT_EQ(value("S", "C"), "tail");
  // CR LF counts as one character against the capacity.
  write("[S]\r\n" + fits + "\r\nD=d\r\n");
  EXPECT_EQ(value("S", "A"), std::string(116, 'x'));
  EXPECT_EQ(value("S", "D"), "d");
}

TEST_F(SectionReader, LongHeaderRemainderCanBeAHeader) {
  write(std::string(119, '#') + "[S]\nK=v\n");
  EXPECT_EQ(value("S", "K"), "v");
}

}  // namespace
