// The outcome descriptor: written whole when the variable names one, left alone when
// it names none, and never a reason for SIGPIPE to end the process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/outcome_fd.h"

namespace {

// What outcome_write put into a fresh pipe when the variable is set to `value`, in
// which "@" stands for the pipe's own descriptor number.
std::string written_with(const std::string& value) {
  int ends[2];
  EXPECT_EQ(::pipe(ends), 0);
  ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
  std::string text = value;
  if (std::size_t at = text.find('@'); at != std::string::npos)
    text.replace(at, 1, std::to_string(ends[1]));
  setenv("KESTAL_OUTCOME_FD", text.c_str(), 1);
  outcome_write("kestalentry-outcome x\n");
  ::close(ends[1]);
  char buffer[64];
  ssize_t n = ::read(ends[0], buffer, sizeof buffer);
  ::close(ends[0]);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

TEST(OutcomeFd, WritesOnlyWhenTheVariableIsADecimalNumber) {
  EXPECT_EQ(written_with("@"), "kestalentry-outcome x\n");
  for (const char* value : {"", "@x", " @", "+@", "@.0", "0x@"})
    EXPECT_EQ(written_with(value), "") << "[" << value << "]";
}

TEST(OutcomeFd, AGoneReaderDoesNotEndTheProcess) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  setenv("KESTAL_OUTCOME_FD", std::to_string(ends[1]).c_str(), 1);
  outcome_write("kestalentry-outcome x\n");  // SIGPIPE would end the test here
  ::close(ends[1]);
  unsetenv("KESTAL_OUTCOME_FD");
}

}  // namespace
