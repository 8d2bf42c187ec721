// POSIX spelling of the installation's fixed paths: '/' separates the parts.
#include "platform/paths.h"

std::string run_log_path() {
  return "../../Velmarion_php/log/KestalLog.txt";
}

std::string run_log_backup_path() {
  return "../../Velmarion_php/log/KestalLog.bak";
}

std::string credential_store_path() {
  return "../../Files/Velmarion.Ini";
}

std::string entry_definition_path(std::string_view database_system) {
  std::string path = "./KESTALENTRY.";
  path.append(database_system);
  path.append(".INI");
  return path;
}
