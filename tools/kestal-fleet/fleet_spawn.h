// Starting a child of a push: an argument vector (no shell), its own process group,
// default signal handling, and pipes for what the push reads back.
#pragma once

#include <string>
#include <vector>

#include "fleet_fd.h"

struct SpawnRequest {
  std::vector<std::string> argv;       // argv[0] is the program, searched on PATH without '/'
  std::vector<std::string> extra_env;  // NAME=VALUE added to this process's environment
  pid_t group = 0;                     // process group to join; 0: a new one led by the child
  bool capture_stdout = false;
  bool capture_stderr = false;  // else /dev/null
  int outcome_fd = -1;          // >= 0: a pipe whose write end the child holds at this number
  bool hold_stdin = false;      // a pipe the push keeps open until the child ends; else /dev/null
};

struct Spawned {
  ChildPid pid;
  Fd out;      // standard output, when captured
  Fd err;      // standard error, when captured
  Fd outcome;  // the outcome pipe's read end, when asked for
  Fd in;       // standard input's write end, when held
};

// Starts the child; false with `error` (errno's text) when it could not be started.
bool spawn_child(const SpawnRequest& request, Spawned& child, std::string& error);

// A pipe, both ends close-on-exec; false when none could be made.
bool make_pipe(Fd& read_end, Fd& write_end);
