// One round of a push through GNU parallel: the names go in as a null-separated
// file, each job's exit, host, times and output come back from the job log and the
// per-job result files, reported as each job finishes.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct RoundPlan {
  std::string kestalentry;  // the program each job runs
  std::string user;
  std::string mode;
  std::vector<std::string> names;
  int jobs = 8;
  int timeout = 0;     // seconds; 0: none
  std::string joblog;  // GNU parallel's job log (appended to when `append`)
  bool append = false;
  std::string sshloginfile;  // empty: this machine only
  std::string workdir;       // the working directory, also on other machines
  std::string scratch;       // a private folder for this round's files
};

struct JobRecord {
  std::size_t index = 0;  // into RoundPlan::names
  std::string host;       // "local" or the ssh login
  double start_unix = 0;
  double seconds = 0;
  bool killed = false;
  int exit_status = 0;
  std::string output;  // the job's standard output
};

// Runs the round; `on_done` is called once per finished job, in finishing order.
// False with `error` when GNU parallel could not run the round.
bool run_round(const RoundPlan& plan, const std::function<void(const JobRecord&)>& on_done,
               std::string& error);

// The program that stands beside this executable, else the name for a PATH search.
std::string sibling_program(const char* name);
