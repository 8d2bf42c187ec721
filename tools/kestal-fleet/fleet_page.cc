// The two fleet pages: a push (counts, timeline, table of terminals) and a status read
// (counts per state, rows still running, table of status rows).
#include "fleet_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "html_text.h"
#include "page_chart.h"
#include "page_format.h"
#include "page_shell.h"
#include "page_table.h"
#include "page_timeline.h"

namespace {

std::string ok_summary(std::size_t total, int ok) {
  return count_of(total, "terminal") + ", " + std::to_string(ok) + " ok, " +
         std::to_string(total - ok) + " not ok";
}

bool any_remote(const PushReport& report) {
  return std::any_of(report.results.begin(), report.results.end(),
                     [](const TerminalResult& r) { return r.host != "local"; });
}

std::string push_table(const PushReport& report, const std::vector<WordCount>& counts) {
  bool remote = any_remote(report);
  std::vector<TableColumn> columns = {{"Terminal"},  {"Outcome"},       {"Code", true},
                                      {"Meaning"},   {"Seconds", true}, {"Tries", true},
                                      {"Last reply"}};
  if (remote) columns.push_back({"Host"});
  std::string out = filter_html(counts);
  table_open(out, "rows", columns);
  for (const auto& r : report.results) {
    row_open(out, word(r.outcome));
    terminal_cells(out, r.terminal, word(r.outcome), r.code, r.meaning);
    cell(out, format_seconds(r.seconds), std::to_string(r.seconds));
    cell(out, std::to_string(r.tries), std::to_string(r.tries));
    cell(out, html_text(r.last_line));
    if (remote) cell(out, html_text(r.host));
    row_close(out);
  }
  table_close(out);
  return out;
}

std::string push_timeline(const PushReport& report) {
  std::vector<TimelineBar> bars;
  bars.reserve(report.results.size());
  for (const auto& r : report.results) {
    std::string title = html_text(r.terminal) + " \xC2\xB7 " + html_escape(word(r.outcome)) +
                        " \xC2\xB7 " + format_seconds(r.seconds) + " s";
    if (r.tries > 1) title += " \xC2\xB7 try " + std::to_string(r.tries);
    bars.push_back({r.started, r.seconds, word(r.outcome), std::move(title)});
  }
  return timeline_svg(std::move(bars), report.seconds);
}

}  // namespace

std::string push_page_html(const PushReport& report, std::string_view version) {
  auto counts = count_words(kOutcomeWords, report.results,
                            [](const TerminalResult& r) { return word(r.outcome); });
  std::size_t total = report.results.size();
  std::vector<PageFact> facts = {
      {"Mode", html_text(report.mode)},
      {"User", html_text(report.user)},
      {"Selection", html_text(report.selection)},
      {"Started", html_escape(format_local_time(report.started_unix))},
      {"Took", html_escape(format_duration(report.seconds))},
      {"Jobs", std::to_string(report.jobs)},
      {"Terminals", html_escape(ok_summary(total, counts.front().count))},
  };
  std::string body = section_html("Outcomes", count_chart_svg(counts, "Terminals per outcome"));
  body += section_html("Timeline",
                       "<p>One bar per terminal, from the start to the end of its last try, in "
                       "order of start, coloured as above; point at a bar for its terminal.</p>\n" +
                           push_timeline(report));
  body += section_html("Terminals", push_table(report, counts));
  return page_document("Fleet push: " + ok_summary(total, counts.front().count), facts, body,
                       version);
}
