// Process entry of kestalentry: one transfer to one terminal per process.
// The exit status is the run's status; on POSIX only its low byte reaches the caller.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/report.h"
#include "run/run_sequence.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  Report report{default_run_log(), Console{}, false};
  int status = run_transfer(arguments, report);
  std::fflush(stdout);
  std::exit(status);
}
