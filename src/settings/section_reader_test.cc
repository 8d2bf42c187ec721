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

// One file, one lookup, one expected value; the capacity is the callers' unless given.
struct Lookup {
  const char* why;
  std::string file;
  const char* section;
  const char* key;
  std::string expected;
  std::size_t capacity = 2050;
};

const std::string kBounds =
    "KEY=before\n[OTHER]\nKEY=other\n[REGVAL] \t\n  KEY \t=  a = b \t\n [REGVAL]\nLATE=never\n";
const std::string kSkipped = "[S]\n=x\nno equals\n\n   \nEMPTY=\nBLANK=  \t \nK=v\n";
const std::string kCtrlZ = "[S]\r\nA=one\r\nB=tw\x1Ao\r\nC=three\r\n[T]\r\nD=d\r\n";
const std::string kNul("[S]\nK=ab\0cd\nL=x\0\nM=y\n", 22);
// 118 characters plus the line end fit one read; a longer line is read as 119
// characters, and the rest as a line of its own.
const std::string kFits = "A=" + std::string(116, 'x');
const std::string kSplit = "B=" + std::string(117, 'y') + "C=tail";

const Lookup kLookups[] = {
    {"trimmed header and key", kBounds, "REGVAL", "KEY", "a = b"},
    {"other section", kBounds, "OTHER", "KEY", "other"},
    {"a line starting with a blank is no header but ends the section", kBounds, "REGVAL", "LATE",
     ""},
    {"section names match case", kBounds, "regval", "KEY", ""},
    {"keys match case", kBounds, "REGVAL", "key", ""},
    {"missing section", kBounds, "MISSING", "KEY", ""},
    {"first key wins", "[S]\nK=first\nK=second\n[S]\nK=third\nJ=later\n", "S", "K", "first"},
    {"only the first section counts", "[S]\nK=first\nK=second\n[S]\nK=third\nJ=later\n", "S", "J",
     ""},
    {"skipped lines", kSkipped, "S", "K", "v"},
    {"empty key", kSkipped, "S", "", ""},
    {"empty value", kSkipped, "S", "EMPTY", ""},
    {"blank value", kSkipped, "S", "BLANK", ""},
    {"cut to capacity minus one", "[S]\nK=abcdefgh\n", "S", "K", "abcd", 5},
    {"the line end is cut away, not a character", "[S]\nL=abc\n", "S", "L", "abc", 4},
    {"capacity one", "[S]\nL=abc\n", "S", "L", "", 1},
    {"CR LF", "[S]  \r\nA = one \r\nB=two", "S", "A", "one"},
    {"no final line end", "[S]  \r\nA = one \r\nB=two", "S", "B", "two"},
    {"a lone CR is a character", "[S]\r\nA=one\r\r\nB=\rtwo\r\n", "S", "A", "one\r"},
    {"a CR after the equals sign", "[S]\r\nA=one\r\r\nB=\rtwo\r\n", "S", "B", "\rtwo"},
    // As in Windows text mode: nothing after the first Ctrl-Z is read, not even the
    // rest of its line, and a CR before it is an ordinary character.
    {"before Ctrl-Z", kCtrlZ, "S", "A", "one"},
    {"cut at Ctrl-Z", kCtrlZ, "S", "B", "tw"},
    {"after Ctrl-Z", kCtrlZ, "S", "C", ""},
    {"section after Ctrl-Z", kCtrlZ, "T", "D", ""},
    {"Ctrl-Z at the end", "[S]\nA=one\n\x1A", "S", "A", "one"},
    {"NUL ends the line", kNul, "S", "K", "ab"},
    {"NUL before the line end", kNul, "S", "L", "x"},
    {"line after a NUL", kNul, "S", "M", "y"},
    {"a line that fits one read", "[S]\n" + kFits + "\n" + kSplit + "\n", "S", "A",
     std::string(116, 'x')},
    {"a long line read in parts", "[S]\n" + kFits + "\n" + kSplit + "\n", "S", "B",
     std::string(117, 'y')},
    {"the rest of a long line", "[S]\n" + kFits + "\n" + kSplit + "\n", "S", "C", "tail"},
    {"CR LF counts as one character", "[S]\r\n" + kFits + "\r\nD=d\r\n", "S", "A",
     std::string(116, 'x')},
    {"after a full line with CR LF", "[S]\r\n" + kFits + "\r\nD=d\r\n", "S", "D", "d"},
    {"a long header's rest can be a header", std::string(119, '#') + "[S]\nK=v\n", "S", "K", "v"},
};

TEST_F(SectionReader, Lookups) {
  for (const Lookup& row : kLookups) {
    write(row.file);
    EXPECT_EQ(value(row.section, row.key, row.capacity), row.expected) << row.why;
  }
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

}  // namespace
