// Process entry of kestalentry: one transfer to one terminal per process.
// The exit status is the run's status; on POSIX only its low byte reaches the caller.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/report.h"
#include "platform/outcome_fd.h"
#include "run/run_sequence.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  Report report{default_run_log(), Console{}, false};
  RunOutcome outcome;
  int status = run_transfer(arguments, report, outcome);
  std::fflush(stdout);
  outcome.exit = status;
  outcome_write(outcome_line(outcome));
  std::exit(status);
}
