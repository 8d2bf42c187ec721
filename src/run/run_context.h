// The run context: what the command line gave, read by the modules of one run.
#pragma once

#include <string>

struct RunContext {
  std::string run_user;       // at most 50 bytes, unchanged
  std::string terminal_name;  // at most 255 bytes, unchanged; host name or dotted IPv4
  std::string mode;           // at most 4 bytes, upper-cased: "*GEN" or "*STO"
  bool verbose = false;       // fourth argument "/D" in any case
};
