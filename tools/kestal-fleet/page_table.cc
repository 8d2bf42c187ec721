// Table markup. Header cells hold buttons so sorting works from the keyboard too.
#include "page_table.h"

#include "html_text.h"

namespace {

bool numeric(std::string_view kind) {
  return kind == "int" || kind == "sec" || kind == "age";
}

}  // namespace

std::string table_html(std::string_view id, const std::vector<TableColumn>& columns,
                       const TableSource& source) {
  std::string out =
      "<table id=\"" + html_escape(id) + "\" data-rows=\"" + html_escape(source.rows) + "\"";
  if (!source.pick.empty()) out += " data-pick=\"" + html_escape(source.pick) + "\"";
  if (source.word_field >= 0) out += " data-w=\"" + std::to_string(source.word_field) + "\"";
  out += "><thead><tr>";
  for (const auto& c : columns) {
    out += numeric(c.kind) ? "<th class=\"num\"" : "<th";
    out += " data-k=\"" + html_escape(c.kind) + "\" data-f=\"" + std::to_string(c.field) + "\"";
    if (c.order >= 0) out += " data-o=\"" + std::to_string(c.order) + "\"";
    out += " aria-sort=\"none\"><button type=\"button\">" + html_escape(c.title) + "</button></th>";
  }
  return out + "</tr></thead>\n<tbody></tbody></table>\n";
}
