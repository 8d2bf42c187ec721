// The entry table: what is sent to the terminal, built for the run's mode from the
// entry definition file and the value statement (*GEN) or the site table (*STO).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "entries/entry.h"
#include "entries/row_source.h"
#include "log/report.h"

// The entries in the order they are sent.
using EntryTable = std::vector<Entry>;

// What the run asks of the assembly.
struct EntryRequest {
  std::string terminal_name;  // stands for $parm01 in the value statement
  std::string mode;           // upper-cased: "*GEN" or "*STO"
  bool verbose = false;
};

struct EntrySources {
  RowSource& rows;
  const EntryRequest& run;
  const std::string& database_system;
  const Report& report;
};

// The step of the assembly that failed, so a supervisor can tell the causes apart.
enum class EntryStep {
  kNone,
  kMode,            // unknown mode
  kLists,           // *GEN lists of unequal length
  kDefinitionFile,  // a section of the entry definition file gave no text
  kValueStatement,  // the value statement failed to open or fetch
  kValueRow,        // the value statement returned no row
  kSiteTable,       // opening or reading the site table failed
};

std::int32_t build_entry_table(EntryTable& table, const EntrySources& sources, EntryStep& failed);
inline std::int32_t build_entry_table(EntryTable& table, const EntrySources& sources) {
  EntryStep failed = EntryStep::kNone;
  return build_entry_table(table, sources, failed);
}
