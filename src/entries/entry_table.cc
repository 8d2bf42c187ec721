// The entry table for the run's mode: *GEN from the entry definition file and the
// value statement, *STO from the site table.
#include "entries/entry_table.h"

#include <algorithm>

#include "db/sql_text.h"
#include "entries/quoted_list.h"
#include "log/format.h"
#include "platform/paths.h"
#include "settings/section_reader.h"

namespace {

// The reader's output size for one key; longer values arrive cut to 2049 characters.
constexpr std::size_t kKeyValueBytes = 2050;
// Key numbers have three digits, so a section ends after key 999 as if the next key
// were empty. Joined texts and statements are kept whole at any length.
constexpr int kLastKey = 999;
constexpr std::string_view kParameter = "$parm01";

void print_verbose(const EntrySources& sources, std::string_view text) {
  if (sources.run.verbose) sources.report.print(text);
}

// The value of key prefix + "%03d"; empty when the file, section or key is missing.
std::string read_key(std::string_view section, const char* prefix, int number,
                     const std::string& path) {
  std::string value;
  if (number > kLastKey || path.empty()) return value;
  read_section_value(section, text_printf("%s%03d", prefix, number), value, kKeyValueBytes, path);
  return value;
}

// The entry definition file's name, or the empty text (read as a missing file) when
// the DB_SYSTEM setting holds a separator and would name a file in another folder.
std::string definition_path(const EntrySources& sources) {
  if (sources.database_system.find_first_of("/\\") != std::string::npos) return {};
  return entry_definition_path(sources.database_system);
}

// True when the "$parm01" at `at` is a whole literal of its own, '$parm01': the quote
// before it opens a literal (an even count of quotes stands before that one) and the
// quote after it closes the literal (no second quote follows).
bool is_quoted_parameter(const std::string& statement, std::size_t at) {
  std::size_t after = at + kParameter.size();
  if (at == 0 || statement[at - 1] != '\'' || after >= statement.size() ||
      statement[after] != '\'' || (after + 1 < statement.size() && statement[after + 1] == '\''))
    return false;
  return std::count(statement.begin(), statement.begin() + static_cast<std::ptrdiff_t>(at - 1),
                    '\'') %
             2 ==
         0;
}

// Every "$parm01" from left to right; the search resumes behind the inserted name. The
// name goes in with its quotes doubled; a name with a backslash that stands as a whole
// literal is bound instead, since servers read a backslash in a literal differently.
SqlStatement fill_parameter(const std::string& statement, std::string_view terminal_name) {
  const bool bind = terminal_name.find('\\') != std::string_view::npos;
  const std::string name = sql_quote(terminal_name);
  SqlStatement out;
  std::size_t from = 0;
  for (;;) {
    std::size_t at = statement.find(kParameter, from);
    if (at == std::string::npos) break;
    if (bind && is_quoted_parameter(statement, at)) {
      out.text.append(statement, from, at - 1 - from);
      out.text.append(sql_literal(out, terminal_name));
      from = at + kParameter.size() + 1;
      continue;
    }
    out.text.append(statement, from, at - from);
    out.text.append(name);
    from = at + kParameter.size();
  }
  out.text.append(statement, from, std::string::npos);
  return out;
}

struct KeyList {
  const char* heading;
  const char* section;
  const char* prefix;
  const char* label;  // null when there is none
  const char* closing;
};

std::int32_t build_key_list(std::vector<std::string>& result, const KeyList& kind,
                            const EntrySources& sources) {
  std::string joined;
  print_verbose(sources, kind.heading);
  const std::string path = definition_path(sources);
  for (int number = 1;; ++number) {
    std::string value = read_key(kind.section, kind.prefix, number, path);
    if (!value.empty()) {
      if (!joined.empty()) joined.push_back(',');
      joined.append(value);
    }
    if (sources.run.verbose) sources.report.log_line(value);
    if (value.empty()) break;
  }
  if (joined.empty()) return 3;
  if (kind.label != nullptr) print_verbose(sources, kind.label);
  print_verbose(sources, text_printf("'%s'\n", joined.c_str()));
  result = parse_quoted_list(joined);
  print_verbose(sources, kind.closing);
  return 0;
}

namespace {

// The site values in one text, each ending at its offset: the table is then made in
// one allocation, where growing it entry by entry would touch about twice its memory.
struct SiteValues {
  std::string texts;
  std::vector<std::size_t> ends;
};

void append_sites(EntryTable& table, const SiteValues& sites) {
  table.reserve(table.size() + sites.ends.size());
  std::size_t begin = 0;
  for (std::size_t i = 0; i < sites.ends.size(); ++i) {
    table.push_back({"STRING", "StoNr" + std::to_string(i + 1),
                     sites.texts.substr(begin, sites.ends[i] - begin)});
    begin = sites.ends[i];
  }
}

}  // namespace

std::int32_t build_site_table(EntryTable& table, const EntrySources& sources) {
  sources.report.log_line("Standortnummern (*STO) :\n");
  std::int32_t status = sources.rows.site_cursor_open();
  if (status != 0) {
    std::string message = text_printf(
        "Fehler beim \xD6"
        "ffnen Tab. Vxs113Sto: %d",
        status);
    sources.report.log_line(message);
    sources.report.print(message);
    return status;
  }
  SiteValues sites;
  std::string site;
  for (;;) {
    site.clear();
    status = sources.rows.site_cursor_fetch(site);
    if (status == 100) {
      sources.rows.site_cursor_close();
      append_sites(table, sites);
      return 0;
    }
    if (status != 0) {
      append_sites(table, sites);
      std::string message = text_printf("Fehler Lesen aus Tab. Vxs113Sto: %d", status);
      sources.report.log_line(message);
      sources.report.print(message);
      return status;
    }
    std::string_view value = site;
    if (value.size() > 5) value.remove_prefix(value.size() - 5);
    if (value == "0") continue;
    sites.texts += value;
    sites.ends.push_back(sites.texts.size());
  }
}

// The value statement from the file's fragments, its one row read as a quoted list.
std::int32_t build_value_list(std::vector<std::string>& values, const EntrySources& sources,
                              EntryStep& failed) {
  std::string joined;
  print_verbose(sources,
                "Liste mit Werten der Eintr\xE4"
                "ge erstellen:\n");
  const std::string path = definition_path(sources);
  for (int number = 1;; ++number) {
    std::string value = read_key("REGVAL", "SQL", number, path);
    joined.push_back(' ');
    joined.append(value);
    if (sources.run.verbose) sources.report.log_line(value);
    if (value.empty()) break;
  }
  if (joined == " ") {
    failed = EntryStep::kDefinitionFile;
    return 3;
  }
  print_verbose(sources, "SQL-Statement :\n");
  print_verbose(sources, text_printf("'%s'\n", joined.c_str()));

  const SqlStatement statement = fill_parameter(joined, sources.run.terminal_name);
  std::int32_t status = sources.rows.query_open(statement);
  if (status != 0) {
    std::string message =
        text_printf("DbTabelle kann nicht geoeffnet werden, Fehler : %d\n", status);
    sources.report.log_line(message);
    sources.report.print(message);
    failed = EntryStep::kValueStatement;
    return status;
  }
  // After -1 the cleared row stands: it has no columns and so gives no values.
  QueryRow row;
  status = sources.rows.query_fetch_row(row);
  if (status != 0 && status != -1) {
    failed = status == 100 ? EntryStep::kValueRow : EntryStep::kValueStatement;
    return status;
  }
  values = parse_quoted_list(build_quoted_row(row));
  sources.rows.query_close();
  print_verbose(sources, "Werteliste erstellt\n");
  return 0;
}

const KeyList kTypes{
    "Liste mit Typen der Eintr\xE4"
    "ge erstellen:\n",
    "TYPE", "TYP", "Typen-String: \n", "Typen-Liste erstellt\n"};
const KeyList kNames{
    "Liste mit Namen der Eintr\xE4"
    "ge erstellen:\n",
    "NAME", "NAM", nullptr, "Namen-Liste erstellt\n"};

// The three lists of *GEN, joined into entries once all are read and found equal.
struct GeneralLists {
  std::vector<std::string> values;
  std::vector<std::string> types;
  std::vector<std::string> names;
};

}  // namespace

std::int32_t build_entry_table(EntryTable& table, const EntrySources& sources, EntryStep& failed) {
  const std::string& mode = sources.run.mode;
  if (mode == "*GEN") {
    sources.report.log_line(
        "allgemeine Eintr\xE4"
        "ge (*GEN) :\n");
    GeneralLists lists;
    std::int32_t status = build_value_list(lists.values, sources, failed);
    if (status == 0) status = build_key_list(lists.types, kTypes, sources);
    if (status == 0) status = build_key_list(lists.names, kNames, sources);
    if (status != 0) {
      if (failed == EntryStep::kNone) failed = EntryStep::kDefinitionFile;
      return status;
    }
    if (lists.values.size() == lists.types.size() && lists.names.size() == lists.values.size()) {
      for (std::size_t i = 0; i < lists.values.size(); ++i)
        table.push_back({lists.types[i], lists.names[i], lists.values[i]});
      return 0;
    }
    const char* message = "\n FEHLENDER PARAMETER IN INI-DATEI !!\n";
    sources.report.log_line(message);
    print_verbose(sources, message);
    failed = EntryStep::kLists;
    return 91;
  }
  if (mode == "*STO") {
    std::int32_t status = build_site_table(table, sources);
    if (status != 0) failed = EntryStep::kSiteTable;
    return status;
  }
  failed = EntryStep::kMode;
  sources.report.print("falscher Modus !!!\n");
  sources.report.log_line("falscher Modus --> Abbruch");
  return 91;
}
