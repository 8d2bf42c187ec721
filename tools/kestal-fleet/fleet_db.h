// kestal-fleet's database: one connection, opened with the credential store and data
// source kestalentry uses, and the selection of terminals it reads from the rows.
#pragma once

#include <string>
#include <vector>

#include "db/database.h"
#include "db/status_read.h"
#include "fleet_options.h"

struct FleetDatabase {
  DatabaseConnection db;
  std::string database_system;  // names the entry definition file for *GEN
};

// Connects through ../../Files/Velmarion.Ini; false with kestalentry's own message
// (Windows-1252) in `error`.
bool fleet_connect(FleetDatabase& database, std::string& error);

// The terminal names of the selection, in order, each once; false with `error` set.
bool select_terminals(FleetDatabase& database, const Selection& selection,
                      std::vector<std::string>& names, std::string& error);

// The status row of one terminal, if it has one.
std::optional<StatusRow> read_one_row(FleetDatabase& database, const std::string& name);
