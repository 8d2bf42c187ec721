// The push history: new files are written whole (replace_file) before the old ones
// go, so a reader of the folder always finds complete pushes and latest files.
#include "fleet_history.h"

#include <ctime>
#include <filesystem>
#include <map>
#include <vector>

#include "replace_file.h"

namespace fs = std::filesystem;

namespace {

const char* const kExtensions[] = {".json", ".html"};

std::string utc_stamp(std::int64_t unix_seconds) {
  auto when = static_cast<std::time_t>(unix_seconds);
  std::tm utc{};
  gmtime_r(&when, &utc);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc));
}

// The first name of the push's second that neither file of a push holds yet.
std::string free_stem(const fs::path& dir, const std::string& stamp) {
  for (int n = 1;; ++n) {
    std::string stem = "push-" + stamp + (n > 1 ? "-" + std::to_string(n) : "");
    std::error_code ignored;
    if (!fs::exists(dir / (stem + ".json"), ignored) &&
        !fs::exists(dir / (stem + ".html"), ignored))
      return stem;
  }
}

bool all_digits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Removes the files of the oldest pushes beyond `keep`, never those of `current`.
bool prune(const fs::path& dir, int keep, const std::string& current, std::string& error) {
  std::map<std::pair<std::string, int>, std::vector<fs::path>> pushes;
  std::error_code failure;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, failure)) {
    std::error_code unreadable;
    std::optional<std::pair<std::string, int>> key = history_key(entry.path().filename().string());
    if (key && entry.is_regular_file(unreadable)) pushes[*key].push_back(entry.path());
  }
  std::size_t excess = pushes.size() > static_cast<std::size_t>(keep) ? pushes.size() - keep : 0;
  for (auto it = pushes.begin(); !failure && excess > 0 && it != pushes.end(); ++it) {
    if (it->second.front().stem() == current) continue;
    for (std::size_t i = 0; i < it->second.size() && !failure; ++i)
      fs::remove(it->second[i], failure);
    --excess;
  }
  if (failure) error = "history " + dir.string() + ": " + failure.message();
  return !failure;
}

}  // namespace

std::optional<std::pair<std::string, int>> history_key(const std::string& name) {
  const std::string head = "push-";
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.compare(0, head.size(), head) != 0) return std::nullopt;
  std::string extension = name.substr(dot);
  if (extension != kExtensions[0] && extension != kExtensions[1]) return std::nullopt;
  std::string stamp = name.substr(head.size(), std::min<std::size_t>(16, dot - head.size()));
  if (stamp.size() != 16 || !all_digits(stamp.substr(0, 8)) || stamp[8] != 'T' ||
      !all_digits(stamp.substr(9, 6)) || stamp[15] != 'Z')
    return std::nullopt;
  std::string rest = name.substr(head.size() + 16, dot - head.size() - 16);
  if (rest.empty()) return std::make_pair(stamp, 1);
  std::string number = rest.substr(1);
  if (rest[0] != '-' || !all_digits(number) || number[0] == '0' || number.size() > 6)
    return std::nullopt;
  return std::make_pair(stamp, std::stoi(number));
}

bool history_add(const std::string& dir, int keep, std::int64_t started_unix,
                 const std::string& json_lines, const std::string& page, std::string& error) {
  std::error_code failure;
  fs::create_directories(dir, failure);
  if (failure) {
    error = "cannot make the history folder " + dir + ": " + failure.message();
    return false;
  }
  fs::path folder(dir);
  std::string stem = free_stem(folder, utc_stamp(started_unix));
  const std::string* texts[] = {&json_lines, &page};
  for (int i = 0; i < 2; ++i)
    if (!replace_file((folder / (stem + kExtensions[i])).string(), *texts[i], error) ||
        !replace_file((folder / (std::string("latest") + kExtensions[i])).string(), *texts[i],
                      error))
      return false;
  return prune(folder, keep, stem, error);
}
