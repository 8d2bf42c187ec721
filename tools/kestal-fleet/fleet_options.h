// kestal-fleet's command line: the command (push or status), the selection of
// terminals and the push options.
#pragma once

#include <optional>
#include <string>

#include "command_line.h"

struct Selection {
  std::string terminals_file;       // one name a line; "-" for standard input
  bool all = false;                 // every status row
  std::optional<std::string> like;  // TrmNam LIKE this
  std::string resume_file;          // the JSON of an earlier push: its terminals not ok
  bool failed = false;              // rows whose last transfer did not end well
  std::string text;                 // as given, for the page's header
};

struct FleetOptions {
  std::string command;  // "push" or "status"
  std::string user;
  std::string mode;
  Selection selection;
  int jobs = 8;
  int timeout = 0;  // seconds per transfer; 0: none
  int retries = 0;
  int retry_delay = 5;  // seconds before the first retry round, doubling per round
  bool wait = false;    // wait for another push in this working directory to end
  std::string json_file;
  std::string html_file;
  std::string joblog_file;
  std::string sshloginfile;
  bool dry_run = false;
  std::string history_dir;  // --history: every push's JSON and page, and latest.*
  int keep = 30;            // pushes the history keeps
  bool keep_given = false;
  std::string metrics_file;  // Prometheus text format, push or status
};

// Fills `options` from argv; on kError `error` says why.
CliResult parse_fleet_options(int argc, char** argv, FleetOptions& options, std::string& error);
const char* fleet_usage();
