// The fleet page of a status read: counts per state, failures per code, the rows still
// marked running (oldest first, since a killed run leaves its mark), and every row.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fleet_page.h"
#include "html_text.h"
#include "page_chart.h"
#include "page_format.h"
#include "page_shell.h"
#include "page_table.h"

namespace {

std::string age_text(const StatusEntry& e) {
  return e.age_seconds ? format_duration(static_cast<double>(*e.age_seconds)) : std::string();
}

std::string age_key(const StatusEntry& e) {
  return e.age_seconds ? std::to_string(*e.age_seconds) : std::string();
}

std::string failures_by_code(const StatusReport& report) {
  std::map<std::int32_t, std::pair<int, const StatusEntry*>> codes;
  for (const auto& e : report.entries) {
    if (e.state != State::kFailed || !e.code) continue;
    auto& [count, first] = codes[*e.code];
    if (count++ == 0) first = &e;
  }
  if (codes.empty()) return "<p>No terminal's last transfer failed.</p>\n";
  std::string out;
  table_open(out, "codes", {{"Code", true}, {"Meaning"}, {"Terminals", true}});
  for (const auto& [code, seen] : codes) {
    row_open(out, "failed");
    cell(out, std::to_string(code), std::to_string(code));
    cell(out, html_text(seen.second->meaning));
    cell(out, std::to_string(seen.first), std::to_string(seen.first));
    row_close(out);
  }
  table_close(out);
  return out;
}

std::string running_rows(const StatusReport& report) {
  std::vector<const StatusEntry*> running;
  for (const auto& e : report.entries) {
    if (e.state == State::kRunning) running.push_back(&e);
  }
  if (running.empty()) return "<p>No terminal is marked running.</p>\n";
  std::stable_sort(running.begin(), running.end(), [](const auto* a, const auto* b) {
    return a->age_seconds.value_or(-1) > b->age_seconds.value_or(-1);
  });
  std::string out;
  table_open(out, "running", {{"Terminal"}, {"User"}, {"Since"}, {"Age", true}});
  for (const auto* e : running) {
    row_open(out, word(e->state));
    cell(out, html_text(e->terminal));
    cell(out, html_text(e->user));
    cell(out, html_text(format_stamp(e->last_transfer)));
    cell(out, html_escape(age_text(*e)), age_key(*e));
    row_close(out);
  }
  table_close(out);
  return out;
}

std::string status_table(const StatusReport& report, const std::vector<WordCount>& counts) {
  std::string out = filter_html(counts);
  table_open(out, "rows",
             {{"Terminal"},
              {"State"},
              {"Code", true},
              {"Meaning"},
              {"User"},
              {"Last transfer"},
              {"Age", true}});
  for (const auto& e : report.entries) {
    row_open(out, word(e.state));
    terminal_cells(out, e.terminal, word(e.state), e.code, e.meaning);
    cell(out, html_text(e.user));
    cell(out, html_text(format_stamp(e.last_transfer)));
    cell(out, html_escape(age_text(e)), age_key(e));
    row_close(out);
  }
  table_close(out);
  return out;
}

}  // namespace

std::string status_page_html(const StatusReport& report, std::string_view version) {
  auto counts =
      count_words(kStateWords, report.entries, [](const StatusEntry& e) { return word(e.state); });
  std::string summary = count_of(report.entries.size(), "terminal") + ", " +
                        std::to_string(counts.front().count) + " ok";
  std::vector<PageFact> facts = {
      {"Selection", html_text(report.selection)},
      {"Read", html_escape(format_local_time(report.read_unix))},
      {"Terminals", html_escape(summary)},
  };
  std::string body = section_html("Last transfers", count_chart_svg(counts, "Terminals per state"));
  body += section_html("Failures by code", failures_by_code(report));
  body += section_html("Still marked running", running_rows(report));
  body += section_html("Terminals", status_table(report, counts));
  return page_document("Fleet status: " + summary, facts, body, version);
}
