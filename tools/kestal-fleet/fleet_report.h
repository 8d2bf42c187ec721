// How a push and a status read are told: progress on standard error while the
// transfers run, the recap on standard output, and one JSON object a line.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

#include "fleet_result.h"

struct Progress {
  std::size_t total = 0;
  std::size_t done = 0;
  std::size_t ok = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  bool live = false;  // standard error is a terminal: one line updated in place
};

// Notes one finished transfer (not the last try when `again`).
void progress_note(Progress& progress, const TerminalResult& result, bool again);
// Ends the line updated in place.
void progress_end(const Progress& progress);

// Terminal names and replies as the console shows them: control bytes as \xNN.
std::string printable(const std::string& bytes);

std::string push_recap(const PushReport& report, bool with_tries);
std::string status_recap(const StatusReport& report);

std::string push_json_line(const TerminalResult& result);
std::string status_json_line(const StatusEntry& entry);
