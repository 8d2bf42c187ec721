// One round of a push: kestalentry started once per terminal, at most each machine's
// number of slots at a time, each child watched through its pipes and its exit, and
// reported as it finishes. A time-out or an interrupt stops children with SIGTERM,
// then SIGKILL after the grace period.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fleet_guard.h"
#include "fleet_ssh.h"
#include "fleet_stop.h"

struct RoundPlan {
  std::string kestalentry;  // the program each transfer runs
  std::string user;
  std::string mode;
  std::vector<std::string> names;
  int timeout = 0;  // seconds; 0: none
  int grace = 5;    // seconds from SIGTERM to SIGKILL
  std::string workdir;
};

// Where a round runs and what stops it; shared by the rounds of a push.
struct Engine {
  std::vector<Machine> machines;
  Guard guard;
  StopSignals stop;
};

struct JobRecord {
  std::size_t index = 0;  // into RoundPlan::names
  std::string host;       // "local" or the ssh login
  double start_unix = 0;
  double seconds = 0;
  bool timed_out = false;    // stopped by --timeout
  bool interrupted = false;  // stopped because the push was interrupted
  int wait_status = 0;       // as waitpid gives it
  std::string output;        // the end of its standard output
  std::string outcome_line;  // "kestalentry-outcome ..." without the line end, or empty
  bool remote = false;
};

// Runs the round until every started transfer ended; after an interrupt no new one
// starts. `on_done` is called once per finished transfer, in finishing order. Returns
// the number of transfers started; the rest were not, because of an interrupt.
std::size_t run_round(Engine& engine, const RoundPlan& plan,
                      const std::function<void(const JobRecord&)>& on_done);

// The program that stands beside this executable, else the name for a PATH search.
std::string sibling_program(const char* name);
