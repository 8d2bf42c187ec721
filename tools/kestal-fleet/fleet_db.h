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

// A selected terminal, with its status row when it has one and it was asked for.
struct Selected {
  std::string name;
  std::optional<StatusRow> row;
};

// The terminals of the selection, in order, each once: from a name list or an earlier
// push's JSON, or from the status rows. With `rows`, a listed name's row is read too
// (in one pass over the table). False with `error` set.
bool select_terminals(FleetDatabase& database, const Selection& selection, bool rows,
                      std::vector<Selected>& selected, std::string& error);
