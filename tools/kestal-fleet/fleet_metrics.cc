// Metric texts. Every family is a gauge: each value is what the last push or status
// read found, and none of them only grows. Status series carry the selection, push
// series the user and mode, so several files in one textfile folder never clash.
#include "fleet_metrics.h"

#include <array>
#include <map>
#include <string_view>
#include <vector>

#include "cp1252.h"
#include "log/format.h"

namespace {

struct Label {
  std::string_view name;
  std::string value;  // raw Windows-1252 bytes
};
using Labels = std::vector<Label>;

std::string family(std::string_view name, std::string_view help) {
  std::string n(name);
  return "# HELP " + n + " " + std::string(help) + "\n# TYPE " + n + " gauge\n";
}

std::string sample(std::string_view name, const Labels& labels, const std::string& value) {
  std::string line(name);
  for (std::size_t i = 0; i < labels.size(); ++i)
    line += (i == 0 ? "{" : ",") + std::string(labels[i].name) + "=\"" +
            metric_label_value(labels[i].value) + "\"";
  return line + (labels.empty() ? " " : "} ") + value + "\n";
}

Labels with(Labels labels, std::string_view name, const std::string& value) {
  labels.push_back({name, value});
  return labels;
}

// The running row with the oldest known mark, if any.
const StatusEntry* oldest_running(const StatusReport& report) {
  const StatusEntry* oldest = nullptr;
  for (const StatusEntry& e : report.entries)
    if (e.state == State::kRunning && e.age_seconds &&
        (oldest == nullptr || *e.age_seconds > *oldest->age_seconds))
      oldest = &e;
  return oldest;
}

}  // namespace

std::string metric_label_value(const std::string& bytes) {
  std::string out;
  for (char c : cp1252_to_utf8(bytes)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

std::string status_metrics(const StatusReport& report) {
  const Labels base{{"selection", report.selection}};
  std::array<std::size_t, kStateCount> states{};
  std::map<std::int32_t, std::pair<std::size_t, std::string>> failed;  // count, meaning
  for (const StatusEntry& e : report.entries) {
    ++states[static_cast<std::size_t>(e.state)];
    if (e.state == State::kFailed && e.code) {
      ++failed[*e.code].first;
      failed[*e.code].second = e.meaning;
    }
  }
  const char* read = "kestal_fleet_status_read_timestamp_seconds";
  std::string text = family(read, "When the status rows were read, seconds since the epoch.") +
                     sample(read, base, std::to_string(report.read_unix));
  text += family("kestal_fleet_terminals", "Terminals per state of their status row.");
  for (std::size_t i = 0; i < kStateCount; ++i)
    text += sample("kestal_fleet_terminals", with(base, "state", std::string(kStateWords[i])),
                   std::to_string(states[i]));
  text += family("kestal_fleet_failed_terminals",
                 "Terminals whose last transfer failed, per code (TrmDst).");
  for (const auto& [code, seen] : failed)
    text += sample("kestal_fleet_failed_terminals",
                   with(with(base, "code", std::to_string(code)), "meaning", seen.second),
                   std::to_string(seen.first));
  const StatusEntry* oldest = oldest_running(report);
  const char* age = "kestal_fleet_oldest_running_age_seconds";
  text += family(age, "Age of the oldest mark of a transfer still running; 0 when none.") +
          sample(age, base, oldest ? std::to_string(*oldest->age_seconds) : "0");
  if (oldest == nullptr) return text;
  const char* info = "kestal_fleet_oldest_running_info";
  return text + family(info, "The terminal whose running mark is the oldest.") +
         sample(info, with(base, "terminal", oldest->terminal), "1");
}

std::string push_metrics(const PushReport& report, int exit_status) {
  const Labels base{{"user", report.user}, {"mode", report.mode}};
  std::array<std::size_t, kOutcomeCount> outcomes{};
  for (const TerminalResult& r : report.results) ++outcomes[static_cast<std::size_t>(r.outcome)];
  const char* start = "kestal_fleet_push_start_timestamp_seconds";
  const char* duration = "kestal_fleet_push_duration_seconds";
  const char* exit = "kestal_fleet_push_exit_status";
  std::string text = family(start, "When the last push started, seconds since the epoch.") +
                     sample(start, base, std::to_string(report.started_unix)) +
                     family(duration, "How long the last push took.") +
                     sample(duration, base, text_printf("%.3f", report.seconds));
  text += family("kestal_fleet_push_terminals", "Terminals per outcome of the last push.");
  for (std::size_t i = 0; i < kOutcomeCount; ++i)
    text +=
        sample("kestal_fleet_push_terminals", with(base, "outcome", std::string(kOutcomeWords[i])),
               std::to_string(outcomes[i]));
  return text + family(exit, "Exit status of the last push: 0 all ok, 1 some terminal not.") +
         sample(exit, base, std::to_string(exit_status));
}
