// What one run-log line costs: a rejected run traced with strace, every call from the
// log's open to its close counted. Four per line keep long transfers near the wire.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "harness/install_tree.h"
#include "harness/process.h"

namespace {

const char kStrace[] = "/usr/bin/strace";

// The number of calls from each open of the run log to its close, in trace order.
std::vector<int> calls_per_log_line(const std::string& trace) {
  std::vector<int> counts;
  std::istringstream lines(trace);
  std::string line;
  std::string close_call;
  while (std::getline(lines, line)) {
    if (!close_call.empty()) {
      ++counts.back();
      if (line.rfind(close_call, 0) == 0) close_call.clear();
    } else if (std::size_t result = line.rfind(" = ");
               line.find("KestalLog.txt\"") != std::string::npos && result != std::string::npos) {
      close_call = "close(" + line.substr(result + 3) + ")";
      counts.push_back(1);
    }
  }
  return counts;
}

TEST(LogCalls, EachLineIsOpenFstatWriteClose) {
  if (access(kStrace, X_OK) != 0) GTEST_SKIP() << "strace is not installed";
  InstallTree tree("log-calls");
  if (run_process(kStrace, {"-o", "/dev/null", "/bin/true"}, "/").exit_code != 0)
    GTEST_SKIP() << "tracing is not permitted here";
  std::string trace_path = (tree.root() / "trace").string();
  // The leak checker refuses to run under a tracer; leaks are checked elsewhere.
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string asan_options = (asan != nullptr ? std::string(asan) + ":" : "") + "detect_leaks=0";
  ProcessResult result =
      run_process(kStrace, {"-o", trace_path, KESTALENTRY_PATH}, tree.working_directory().string(),
                  {{"ASAN_OPTIONS", asan_options}});
  ASSERT_EQ(result.exit_code, 91) << result.err;
  ASSERT_EQ(tree.log_lines().size(), 5u);
  std::vector<int> counts = calls_per_log_line(read_whole_file(trace_path));
  // The opening empty lines and the separator go in one append, then the start and
  // the reason.
  EXPECT_EQ(counts, std::vector<int>(3, 4)) << read_whole_file(trace_path);
}

}  // namespace
