// What a fleet push and a status read found, as the recap, the JSON lines and the
// HTML page show it. Texts from outside hold the raw Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet_words.h"

// One terminal's last try in a push.
struct TerminalResult {
  std::string terminal;  // raw bytes, as given to kestalentry
  Outcome outcome = Outcome::kOk;
  std::optional<std::int32_t> code;  // none for ok and killed
  std::string meaning;               // short English text; "ok" for ok
  std::optional<int> exit_status;    // none for killed
  std::string last_line;             // the run's last line of output, raw bytes
  double started = 0;                // seconds from the push's start to this try's start
  double seconds = 0;                // how long this try took
  std::string host = "local";        // "local" or the ssh login that ran it
  int tries = 1;
  std::optional<std::int32_t> status_row{};  // the start mark's update status, as the run said
};

struct PushReport {
  std::string user;
  std::string mode;
  std::string selection;          // as given, e.g. "--like ST%" or "--terminals list.txt"
  std::int64_t started_unix = 0;  // wall-clock start, seconds since the epoch
  double seconds = 0;             // wall time of the whole push
  int jobs = 0;
  std::vector<TerminalResult> results;  // one per selected terminal, in selection order
};

// One terminal's status row.
struct StatusEntry {
  std::string terminal;  // TrmNam, raw bytes
  State state = State::kOk;
  std::optional<std::int32_t> code;         // TrmDst; none when NULL
  std::string meaning;                      // short English text for the code
  std::string user;                         // TrmDbe, raw bytes
  std::string last_transfer;                // TrmDtd as stored (yyyymmddhhmmss), may be empty
  std::optional<std::int64_t> age_seconds;  // running rows only: now - TrmDtd
};

struct StatusReport {
  std::string selection;
  std::int64_t read_unix = 0;  // when the rows were read
  std::vector<StatusEntry> entries;
};
