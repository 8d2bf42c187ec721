// A kestal-sim process for one test.
#include "harness/simulator.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "harness/files.h"

namespace fs = std::filesystem;

Simulator::Simulator(const std::vector<std::string>& command, const std::string& address,
                     const std::vector<std::string>& flags, const fs::path& folder,
                     int start_seconds)
    : registry_(folder / ("sim-registry-" + address + ".txt")),
      log_(folder / ("sim-log-" + address + ".txt")) {
  fs::create_directories(folder);
  fs::path ready_file = folder / ("sim-ready-" + address);
  fs::remove(ready_file);
  fs::remove(registry_);
  fs::remove(log_);
  std::vector<std::string> args = command;
  args.insert(args.end(), {"--listen", address, "--port", "5010", "--registry", registry_.string(),
                           "--log", log_.string(), "--ready-file", ready_file.string()});
  args.insert(args.end(), flags.begin(), flags.end());
  pid_ = fork();
  if (pid_ == 0) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(args[0].c_str(), argv.data());
    _exit(127);
  }
  for (int i = 0; i < start_seconds * 100 && !ready_; ++i) {
    if (fs::exists(ready_file)) {
      ready_ = true;
      break;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Simulator::~Simulator() {
  stop();
}

void Simulator::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 300; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string Simulator::registry() const {
  return read_whole_file(registry_);
}

std::string Simulator::log() const {
  return read_whole_file(log_);
}

std::unique_ptr<Simulator> start_simulator(const std::string& program, const std::string& address,
                                           const std::vector<std::string>& flags,
                                           const std::filesystem::path& folder) {
  auto sim = std::make_unique<Simulator>(program, address, flags, folder);
  EXPECT_TRUE(sim->ready()) << "kestal-sim did not start on " << address;
  return sim;
}
