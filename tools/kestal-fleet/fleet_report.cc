// The texts of a push and a status read. Names and replies keep their Windows-1252
// bytes on the console, like kestalentry's own texts; the JSON is UTF-8.
#include "fleet_report.h"

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <map>

#include "cp1252.h"
#include "log/format.h"

namespace {

std::string json_string(const std::string& bytes) {
  std::string out = "\"";
  for (char c : cp1252_to_utf8(bytes)) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      out += text_printf("\\u%04x", u);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

template <typename T>
std::string json_or_null(const std::optional<T>& value) {
  return value ? std::to_string(*value) : "null";
}

// An outcome or state word and its count.
std::string count_line(std::string_view word, std::size_t count) {
  return text_printf("%-14s %6zu\n", std::string(word).c_str(), count);
}

}  // namespace

std::string printable(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    out += u < 0x20 || u == 0x7F ? text_printf("\\x%02X", u) : std::string(1, c);
  }
  return out;
}

void progress_note(Progress& p, const TerminalResult& r, bool again) {
  if (!again) ++p.done;
  if (!again && r.outcome == Outcome::kOk) ++p.ok;
  double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - p.start).count();
  double rate = elapsed > 0 ? static_cast<double>(p.done) / elapsed : 0;
  double left = rate > 0 ? static_cast<double>(p.total - p.done) / rate : 0;
  if (p.live) {
    std::fprintf(stderr, "\r%zu/%zu done, %zu ok, %zu failed, %.1f/s, %.0f s left\x1b[K", p.done,
                 p.total, p.ok, p.done - p.ok, rate, left);
  } else {
    std::fprintf(stderr, "%zu/%zu %s %s%s%s\n", p.done, p.total, printable(r.terminal).c_str(),
                 std::string(word(r.outcome)).c_str(),
                 r.code ? text_printf(" %" PRId32, *r.code).c_str() : "",
                 again ? " (will retry)" : "");
  }
  std::fflush(stderr);
}

void progress_end(const Progress& p) {
  if (p.live && p.done > 0) std::fputs("\n", stderr);
}

std::string push_recap(const PushReport& report, bool with_tries) {
  std::array<std::size_t, kOutcomeCount> counts{};
  std::size_t width = 8;
  for (const TerminalResult& r : report.results) {
    ++counts[static_cast<std::size_t>(r.outcome)];
    if (r.outcome != Outcome::kOk)
      width = std::min<std::size_t>(std::max(width, r.terminal.size()), 40);
  }
  std::string text = text_printf("%zu terminals in %.1f s, %d jobs\n", report.results.size(),
                                 report.seconds, report.jobs);
  for (std::size_t i = 0; i < kOutcomeCount; ++i) text += count_line(kOutcomeWords[i], counts[i]);
  if (counts[0] == report.results.size()) return text;
  text += text_printf("\n%-*s  %-13s  %5s  %7s%s  %s\n", static_cast<int>(width), "TERMINAL",
                      "OUTCOME", "CODE", "SECONDS", with_tries ? "  TRIES" : "", "MEANING");
  for (const TerminalResult& r : report.results) {
    if (r.outcome == Outcome::kOk) continue;
    text += text_printf("%-*s  %-13s  %5s  %7.1f%s  ", static_cast<int>(width),
                        printable(r.terminal).c_str(), std::string(word(r.outcome)).c_str(),
                        r.code ? std::to_string(*r.code).c_str() : "-", r.seconds,
                        with_tries ? text_printf("  %5d", r.tries).c_str() : "");
    text += r.meaning + "\n";
  }
  return text;
}

std::string status_recap(const StatusReport& report) {
  std::array<std::size_t, kStateCount> counts{};
  std::map<std::int32_t, std::pair<std::size_t, std::string>> failed;  // count, meaning
  std::string running;
  for (const StatusEntry& e : report.entries) {
    ++counts[static_cast<std::size_t>(e.state)];
    if (e.state == State::kFailed) {
      ++failed[*e.code].first;
      failed[*e.code].second = e.meaning;
    }
    if (e.state == State::kRunning)
      running += text_printf("  running for %" PRId64 " s: ", e.age_seconds.value_or(0)) +
                 printable(e.terminal) + "\n";
  }
  std::string text = text_printf("%zu terminals\n", report.entries.size());
  for (std::size_t i = 0; i < kStateCount; ++i) {
    auto state = static_cast<State>(i);
    text += count_line(kStateWords[i], counts[i]);
    if (state == State::kFailed)
      for (const auto& [code, seen] : failed)
        text += text_printf("  %5" PRId32 " %6zu  ", code, seen.first) + seen.second + "\n";
    if (state == State::kRunning) text += running;
  }
  return text;
}

std::string push_json_line(const TerminalResult& r) {
  return "{\"terminal\":" + json_string(r.terminal) +
         ",\"outcome\":" + json_string(std::string(word(r.outcome))) +
         ",\"code\":" + json_or_null(r.code) + ",\"meaning\":" + json_string(r.meaning) +
         ",\"exit\":" + json_or_null(r.exit_status) + ",\"last_line\":" + json_string(r.last_line) +
         text_printf(",\"seconds\":%.3f", r.seconds) + ",\"host\":" + json_string(r.host) +
         text_printf(",\"tries\":%d}", r.tries);
}

std::string status_json_line(const StatusEntry& e) {
  std::string line = "{\"terminal\":" + json_string(e.terminal) +
                     ",\"state\":" + json_string(std::string(word(e.state))) +
                     ",\"code\":" + json_or_null(e.code) +
                     ",\"meaning\":" + json_string(e.meaning) +
                     ",\"last_transfer\":" + json_string(e.last_transfer);
  if (e.state == State::kRunning) line += ",\"age_seconds\":" + json_or_null(e.age_seconds);
  return line + "}";
}

bool write_text_file(const std::string& path, const std::string& text, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  error = "cannot write " + path;
  return false;
}
