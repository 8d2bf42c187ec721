// The entry table: what is sent to the terminal, built for the run's mode from the
// entry definition file and the value statement (*GEN) or the site table (*STO).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "entries/row_source.h"
#include "entries/string_list.h"
#include "log/report.h"
#include "run/run_context.h"

struct EntryTable {
  StringListRef values;
  StringListRef types;
  StringListRef names;
};

// One entry as the terminal receives it.
struct Entry {
  std::string type;
  std::string name;
  std::string value;
};

// The table's entries in order, counted by the values list; a type or name that its
// list lacks is empty. The dialogue reads the table through this alone.
std::vector<Entry> table_entries(const EntryTable& table);

struct EntrySources {
  RowSource& rows;
  const RunContext& run;
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
std::int32_t build_value_list(EntryTable& table, const EntrySources& sources, EntryStep& failed);
std::int32_t build_type_list(EntryTable& table, const EntrySources& sources);
std::int32_t build_name_list(EntryTable& table, const EntrySources& sources);
