// The fleet page of a status read: counts per state, failures per code, the rows still
// marked running (oldest first, since a killed run leaves its mark), and every row.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fleet_page.h"
#include "html_text.h"
#include "page_chart.h"
#include "page_data.h"
#include "page_format.h"
#include "page_shell.h"
#include "page_table.h"

namespace {

// The fields of a status read's data row.
enum StatusField { kName, kRank, kState, kMeaning, kUser, kStamp, kCode, kAge };

// A valid stamp as the seconds before the newest one (short, and it sorts so), nothing as
// null, any other text as text.
void json_stamp(std::string& out, std::string_view stamp, std::int64_t newest) {
  if (stamp.empty()) {
    out += "null";
  } else if (auto seconds = stamp_seconds(stamp)) {
    out += std::to_string(newest - *seconds);
  } else {
    json_outside_text(out, stamp);
  }
}

std::int64_t newest_stamp(const StatusReport& report) {
  std::int64_t newest = 0;
  for (const auto& e : report.entries)
    newest = std::max(newest, stamp_seconds(e.last_transfer).value_or(0));
  return newest;
}

std::string status_rows(const StatusReport& report, const std::vector<WordCount>& counts,
                        TextTable& texts, std::int64_t newest) {
  return data_rows(
      report.entries, [](const StatusEntry& e) { return std::string_view(e.terminal); },
      [&](std::string& row, const StatusEntry& e) {
        row += ',' + std::to_string(word_index(counts, word(e.state))) + ',' +
               std::to_string(texts.add(e.meaning)) + ',' + std::to_string(texts.add(e.user)) + ',';
        json_stamp(row, e.last_transfer, newest);
        row += ',';
        json_int(row, e.code);
        row += ',';
        json_int(row, e.age_seconds);
      });
}

// [code, meaning, terminals] per code of a failed row, by code.
std::string failure_rows(const StatusReport& report, TextTable& texts) {
  std::map<std::int32_t, std::pair<int, const StatusEntry*>> codes;
  for (const auto& e : report.entries) {
    if (e.state != State::kFailed || !e.code) continue;
    auto& [count, first] = codes[*e.code];
    if (count++ == 0) first = &e;
  }
  std::string rows = "[";
  for (const auto& [code, seen] : codes) {
    if (rows.size() > 1) rows += ',';
    rows += '[' + std::to_string(code) + ',' + std::to_string(texts.add(seen.second->meaning)) +
            ',' + std::to_string(seen.first) + ']';
  }
  return rows + "]";
}

// The indices of the rows marked running, oldest first.
std::vector<std::size_t> running_rows(const StatusReport& report) {
  std::vector<std::size_t> running;
  for (std::size_t i = 0; i < report.entries.size(); ++i) {
    if (report.entries[i].state == State::kRunning) running.push_back(i);
  }
  std::stable_sort(running.begin(), running.end(), [&](std::size_t a, std::size_t b) {
    return report.entries[a].age_seconds.value_or(-1) > report.entries[b].age_seconds.value_or(-1);
  });
  return running;
}

std::string index_list(const std::vector<std::size_t>& indices) {
  std::string out = "[";
  for (std::size_t i : indices) {
    if (out.size() > 1) out += ',';
    out += std::to_string(i);
  }
  return out + "]";
}

std::string status_sections(const std::vector<WordCount>& counts, bool any_failure,
                            bool any_running) {
  std::string codes =
      table_html("codes", {{"Code", "int", 0}, {"Meaning", "text", 1}, {"Terminals", "int", 2}},
                 {"codes", ""});
  std::string running = "<div class=\"box\">" +
                        table_html("running",
                                   {{"Terminal", "name", kName, kRank},
                                    {"User", "text", kUser},
                                    {"Since", "stamp", kStamp},
                                    {"Age", "age", kAge}},
                                   {"rows", "running"}) +
                        "</div>\n";
  std::string rows = table_html("rows",
                                {{"Terminal", "name", kName, kRank},
                                 {"State", "word", kState},
                                 {"Code", "int", kCode},
                                 {"Meaning", "text", kMeaning},
                                 {"User", "text", kUser},
                                 {"Last transfer", "stamp", kStamp},
                                 {"Age", "age", kAge}},
                                {"rows", "", kState});
  std::string body = section_html("Last transfers", count_chart_svg(counts, "Terminals per state"));
  body += section_html("Failures by code",
                       any_failure ? codes : "<p>No terminal's last transfer failed.</p>\n");
  body += section_html("Still marked running",
                       any_running ? running : "<p>No terminal is marked running.</p>\n");
  return body + section_html("Terminals", filter_html(counts) + rows);
}

}  // namespace

std::string status_page_html(const StatusReport& report, std::string_view version) {
  auto counts =
      count_words(kStateWords, report.entries, [](const StatusEntry& e) { return word(e.state); });
  std::string summary = count_of(report.entries.size(), "terminal") + ", " +
                        std::to_string(counts.front().count) + " ok";
  std::vector<PageFact> facts = {
      {"Selection", selection_html(report.selection)},
      {"Read", html_escape(format_local_time(report.read_unix))},
      {"Terminals", html_escape(summary)},
  };
  TextTable texts;
  std::int64_t newest = newest_stamp(report);
  std::string rows = status_rows(report, counts, texts, newest);
  std::string codes = failure_rows(report, texts);
  auto running = running_rows(report);
  std::string body = status_sections(counts, codes != "[]", !running.empty());
  return page_document("Fleet status: " + summary, facts, body,
                       page_data_json(word_list(counts), texts,
                                      {{"rows", std::move(rows)},
                                       {"codes", codes},
                                       {"running", index_list(running)},
                                       {"newest", std::to_string(newest)}}),
                       version);
}
