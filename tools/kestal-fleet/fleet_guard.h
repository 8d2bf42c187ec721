// The keeper of a push's children: a small process that leads their process group
// and, should the push die without saying goodbye (kill -9), stops every one of them.
#pragma once

#include <string>
#include <vector>

#include "fleet_fd.h"

struct Guard {
  ChildPid pid;  // also the children's process group
  Fd lifeline;   // only the push holds it; its closing without a word wakes the guard
};

// Forks the guard; false when it could not. `leftovers` are the files and folders it
// removes, once the children are stopped, if the push dies.
bool start_guard(Guard& guard, int grace_seconds, const std::vector<std::string>& leftovers);
// Tells the guard the push ended in order, and reaps it.
void stop_guard(Guard& guard);
