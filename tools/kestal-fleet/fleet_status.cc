// The status command: the fleet's state from VXS1140TRM alone, with the age of every
// row still marked running, so a transfer killed half-way stands out.
#include <cstdio>
#include <ctime>

#include "fleet_db.h"
#include "fleet_outcome.h"
#include "fleet_page.h"
#include "fleet_push.h"
#include "fleet_records.h"
#include "fleet_report.h"
#include "kestal_version.h"

namespace {

// Seconds since a yyyymmddhhmiss local time, or none when it does not read so.
std::optional<std::int64_t> age_of(const std::string& stamp, std::time_t now) {
  if (stamp.size() != 14 || stamp.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  auto field = [&stamp](std::size_t at, std::size_t length) {
    return std::stoi(stamp.substr(at, length));
  };
  std::tm when{};
  when.tm_year = field(0, 4) - 1900;
  when.tm_mon = field(4, 2) - 1;
  when.tm_mday = field(6, 2);
  when.tm_hour = field(8, 2);
  when.tm_min = field(10, 2);
  when.tm_sec = field(12, 2);
  when.tm_isdst = -1;
  std::time_t then = std::mktime(&when);
  if (then == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(now - then);
}

StatusEntry entry_of(const StatusRow& row, std::time_t now) {
  StatusEntry e{row.name, row_state(row), row.code, "", row.user, row.updated, {}};
  if (row.code) e.meaning = code_meaning(*row.code);
  if (e.state == State::kOk || e.state == State::kRunning || e.state == State::kNever)
    e.meaning = word_info(e.state).meaning;
  if (e.state == State::kRunning) {
    e.age_seconds = age_of(row.updated, now);
  }
  return e;
}

}  // namespace

int fleet_status(const FleetOptions& o) {
  FleetDatabase database;
  std::string error;
  if (!fleet_connect(database, error)) return fleet_fail(error);
  StatusReport report{o.selection.text, static_cast<std::int64_t>(std::time(nullptr)), {}};
  std::vector<Selected> selected;
  if (!select_terminals(database, o.selection, true, selected, error)) return fleet_fail(error);
  for (const Selected& s : selected)
    if (s.row)
      report.entries.push_back(entry_of(*s.row, static_cast<std::time_t>(report.read_unix)));
  std::fputs(status_recap(report).c_str(), stdout);
  std::string lines;
  for (const StatusEntry& e : report.entries) lines += status_json_line(e) + "\n";
  if (!write_outputs(o, lines, status_page_html(report, KESTAL_VERSION), error) ||
      !record_status(o, report, error))
    return fleet_fail(error);
  return 0;
}
