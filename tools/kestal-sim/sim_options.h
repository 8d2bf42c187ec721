// kestal-sim's command line: where it listens, where it writes, and which faults it
// injects into the line protocol, for every address or per address range.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "command_line.h"

struct SimFaults {
  bool no_greeting = false;
  bool reject_password = false;
  std::map<int, int> fail_entry;  // k-th UPDSYSDB -> reply code
  bool split_replies = false;
  std::set<int> nul_reply;   // k-th UPDSYSDB answered by a NUL byte
  std::set<int> long_reply;  // k-th UPDSYSDB answered by an over-long 200 reply
  int delay_ms = 0;
  int close_after = -1;   // close once this many commands were answered
  int silent_after = -1;  // answer nothing after this many commands
};

// Connections made to an address in [first, last] get these faults instead.
struct SimRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  SimFaults faults;
};

struct SimOptions {
  std::vector<std::uint32_t> listen;  // IPv4 addresses, host byte order
  std::uint16_t port = 5010;
  std::string registry_path;
  std::string log_path;
  std::string capture_path;
  std::string ready_file;
  std::string password = "m3k8r2p9w4tzqh";
  SimFaults faults;              // for addresses in no range
  std::vector<SimRange> ranges;  // the first range holding an address wins
};

// Fills `options` from argv; on kError `error` says why.
CliResult parse_sim_options(int argc, char** argv, SimOptions& options, std::string& error);
const char* sim_usage();
// "A" or "A-B" (inclusive, at most 65536 addresses) appended to `out`; false if malformed.
bool parse_address_range(const std::string& text, std::vector<std::uint32_t>& out);
// The faults for a connection made to `address`.
const SimFaults& sim_faults_for(const SimOptions& options, std::uint32_t address);
