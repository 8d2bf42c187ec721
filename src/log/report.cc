// Where a run's messages go: run log and console.
#include "log/report.h"

#include "platform/console.h"

void Console::write(std::string_view bytes) const {
  if (capture != nullptr) {
    capture->append(bytes);
  } else {
    console_write(bytes);
  }
}

void Report::log_line(std::string_view text) const {
  ::log_line(log, text);
}

void Report::print(std::string_view text) const {
  console.write(text);
}

void Report::print_verbose(std::string_view text) const {
  if (verbose) console.write(text);
}
