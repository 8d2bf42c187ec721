// Fixed locations of the installation's files, relative to the working directory.
// Each platform spells them with its own separator; the names are case-exact.
#pragma once

#include <string>
#include <string_view>

// '/' on POSIX, '\' on Windows.
char path_separator();

// "..\..\Velmarion_php\log\KestalLog.txt" in the platform's spelling.
std::string run_log_path();
// "..\..\Velmarion_php\log\KestalLog.bak" in the platform's spelling.
std::string run_log_backup_path();
// "..\..\Files\Velmarion.Ini" in the platform's spelling.
std::string credential_store_path();
// ".\KESTALENTRY." + database_system + ".INI" in the platform's spelling.
std::string entry_definition_path(std::string_view database_system);
