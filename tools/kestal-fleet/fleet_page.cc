// The two fleet pages: a push (counts, timeline, table of terminals) and a status read
// (counts per state, rows still running, table of status rows).
#include "fleet_page.h"

#include <algorithm>
#include <string>
#include <vector>

#include "html_text.h"
#include "page_chart.h"
#include "page_data.h"
#include "page_format.h"
#include "page_shell.h"
#include "page_table.h"
#include "page_timeline.h"

namespace {

// The fields of a push's data row.
enum PushField {
  kName,
  kRank,
  kOutcome,
  kMeaning,
  kSeconds,
  kTries,
  kReply,
  kStarted,
  kHost,
  kCode
};

std::string ok_summary(std::size_t total, int ok) {
  return count_of(total, "terminal") + ", " + std::to_string(ok) + " ok, " +
         std::to_string(total - ok) + " not ok";
}

bool any_remote(const PushReport& report) {
  return std::any_of(report.results.begin(), report.results.end(),
                     [](const TerminalResult& r) { return r.host != "local"; });
}

std::string push_table(const PushReport& report, const std::vector<WordCount>& counts) {
  std::vector<TableColumn> columns = {
      {"Terminal", "name", kName, kRank}, {"Outcome", "word", kOutcome}, {"Code", "int", kCode},
      {"Meaning", "text", kMeaning},      {"Seconds", "sec", kSeconds},  {"Tries", "int", kTries},
      {"Last reply", "text", kReply}};
  if (any_remote(report)) columns.push_back({"Host", "text", kHost});
  return filter_html(counts) + table_html("rows", columns, {"rows", "", kOutcome});
}

std::string push_rows(const PushReport& report, const std::vector<WordCount>& counts,
                      TextTable& texts) {
  return data_rows(
      report.results, [](const TerminalResult& r) { return std::string_view(r.terminal); },
      [&](std::string& row, const TerminalResult& r) {
        row += ',' + std::to_string(word_index(counts, word(r.outcome))) + ',' +
               std::to_string(texts.add(r.meaning)) + ',';
        json_number(row, r.seconds);
        row += ',' + std::to_string(r.tries) + ',' + std::to_string(texts.add(r.last_line)) + ',';
        json_number(row, r.started);
        row += ',' + std::to_string(texts.add(r.host)) + ',';
        json_int(row, r.code);
      });
}

std::string push_timeline(const PushReport& report) {
  if (report.results.size() > kEveryRowUpTo) {
    double total = report.seconds;
    for (const auto& r : report.results) total = std::max(total, r.started + r.seconds);
    return timeline_canvas(report.results.size(), total,
                           {kName, kStarted, kSeconds, kOutcome, kTries});
  }
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
      {"Selection", selection_html(report.selection)},
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
  TextTable texts;
  std::string rows = push_rows(report, counts, texts);
  return page_document("Fleet push: " + ok_summary(total, counts.front().count), facts, body,
                       page_data_json(word_list(counts), texts, {{"rows", std::move(rows)}}),
                       version);
}
