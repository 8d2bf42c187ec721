// Other machines of a push: the ssh logins of --sshloginfile, one multiplexing
// master each for the push's life, and the remote command of a transfer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fleet_fd.h"

struct Machine {
  std::string label;             // "local", or the login as the file gives it
  std::vector<std::string> ssh;  // the ssh command and its options; empty: this machine
  int slots = 1;                 // transfers at a time
  int running = 0;
  std::string control;  // the master's control socket
  ChildPid master;
};

// Reads GNU parallel's sshlogin format: "ssh -p 2222 push@host2", "push@host2",
// "N/login" (N transfers at a time there, else `jobs`), ":" for this machine.
bool read_sshloginfile(const std::string& path, int jobs, std::vector<Machine>& machines,
                       std::string& error);

// Starts a master per remote machine (control sockets in `scratch`, children of
// process group `group`) and waits until each listens. Machines whose master failed
// are dropped with a warning; false with `error` when none is left.
bool start_masters(std::vector<Machine>& machines, const std::string& scratch, pid_t group,
                   std::string& error);
// Ends the masters and reaps them.
void stop_masters(std::vector<Machine>& machines);

// The argument vector of a transfer on `machine`: `command` itself on this machine,
// else ssh through the master, in `workdir`, with the outcome line on standard error;
// the remote run gets SIGTERM when ssh's standard input ends.
std::vector<std::string> transfer_argv(const Machine& machine, const std::string& workdir,
                                       const std::vector<std::string>& command);

// `text` as one word of a POSIX shell.
std::string shell_quote(std::string_view text);
