// The rounds of a push: the first over every terminal, then the retry rounds after
// their delays, each transfer classified as it finishes, written to the job log, and
// noted in the progress; then the recap and the files.
#pragma once

#include <string>
#include <vector>

#include "fleet_engine.h"
#include "fleet_files.h"
#include "fleet_options.h"
#include "fleet_report.h"

struct Push {
  const FleetOptions& options;
  Engine engine;
  PushReport report;
  Progress progress;
  double started = 0;
  std::string kestalentry;
  std::string workdir;
  GrowingFile joblog;  // fd not valid: no --joblog
  std::size_t joblog_seq = 0;
};

// Pushes to the terminals at `pending` (indices into the results) and the retry
// rounds; those an interrupt left unstarted end `interrupted`.
void run_rounds(Push& push, std::vector<std::size_t> pending);

// The recap on standard output, the JSON, the page and the job log; the exit status.
int finish_push(Push& push);
