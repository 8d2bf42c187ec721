// The tables of the fleet page: the head with its sort buttons and an empty body that
// the script fills from the data block, so the page carries each terminal only once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TableColumn {
  std::string_view title;
  // How the script shows and sorts it: name, text (an index into the shared texts),
  // word (an index into the words), stamp, or the numbers int, sec, age.
  std::string_view kind;
  int field = 0;   // position in a data row
  int order = -1;  // when set, the field that holds the row's rank in this column's order
};

struct TableSource {
  std::string_view rows;  // the data block's list of rows
  std::string_view pick;  // when set, the list of row indices to show, in order
  int word_field = -1;    // the field whose word colours the row and is filtered on
};

std::string table_html(std::string_view id, const std::vector<TableColumn>& columns,
                       const TableSource& source);
