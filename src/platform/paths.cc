// The installation's fixed paths, joined with the platform's separator.
#include "platform/paths.h"

#include <initializer_list>

namespace {

std::string joined(std::initializer_list<std::string_view> parts) {
  std::string path;
  for (std::string_view part : parts) {
    if (!path.empty()) path.push_back(path_separator());
    path.append(part);
  }
  return path;
}

}  // namespace

std::string run_log_path() {
  return joined({"..", "..", "Velmarion_php", "log", "KestalLog.txt"});
}

std::string run_log_backup_path() {
  return joined({"..", "..", "Velmarion_php", "log", "KestalLog.bak"});
}

std::string credential_store_path() {
  return joined({"..", "..", "Files", "Velmarion.Ini"});
}

std::string entry_definition_path(std::string_view database_system) {
  return joined({".", "KESTALENTRY."}) + std::string(database_system) + ".INI";
}
