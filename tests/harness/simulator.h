// A kestal-sim process for one test: its own loopback address on port 5010, its
// registry and log files in a temporary folder, stopped by the destructor.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class Simulator {
 public:
  // Starts `program` listening on `address`:5010 with the extra `flags`; waits until
  // it listens (up to five seconds, or `start_seconds`).
  Simulator(const std::string& program, const std::string& address,
            const std::vector<std::string>& flags, const std::filesystem::path& folder)
      : Simulator(std::vector<std::string>{program}, address, flags, folder) {}
  // The same for a program started through a loader: `command` is the loader and its
  // arguments up to the program (Wine and the .exe, say).
  Simulator(const std::vector<std::string>& command, const std::string& address,
            const std::vector<std::string>& flags, const std::filesystem::path& folder,
            int start_seconds = 5);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool ready() const { return ready_; }
  std::string registry() const;  // the accepted entries, one a line
  std::string log() const;       // what the simulator saw
  void stop();

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  std::filesystem::path registry_;
  std::filesystem::path log_;
};

// A simulator as most tests want one; the current test fails when it does not start.
std::unique_ptr<Simulator> start_simulator(const std::string& program, const std::string& address,
                                           const std::vector<std::string>& flags,
                                           const std::filesystem::path& folder);
