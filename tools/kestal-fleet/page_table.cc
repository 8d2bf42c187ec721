// Table markup. Header cells hold buttons so sorting works from the keyboard too.
#include "page_table.h"

#include "html_text.h"
#include "page_format.h"
#include "page_palette.h"

void table_open(std::string& out, std::string_view id, const std::vector<TableColumn>& columns) {
  out += "<table id=\"" + html_escape(id) + "\"><thead><tr>";
  for (const auto& c : columns) {
    out += c.numeric ? "<th class=\"num\" aria-sort=\"none\">" : "<th aria-sort=\"none\">";
    out += "<button type=\"button\">" + html_escape(c.title) + "</button></th>";
  }
  out += "</tr></thead>\n<tbody>\n";
}

void row_open(std::string& out, std::string_view word) {
  out += "<tr class=\"" + word_class(word) + "\">";
}

void cell(std::string& out, std::string_view html, std::string_view sort_key) {
  if (sort_key.empty()) {
    out += "<td>";
  } else {
    out += "<td data-v=\"" + html_escape(sort_key) + "\">";
  }
  out += html;
  out += "</td>";
}

void terminal_cells(std::string& out, std::string_view terminal, std::string_view word,
                    const std::optional<std::int32_t>& code, std::string_view meaning) {
  cell(out, html_text(terminal));
  cell(out, html_escape(word));
  std::string number = format_code(code);
  cell(out, number, number);
  cell(out, html_text(meaning));
}

void row_close(std::string& out) {
  out += "</tr>\n";
}

void table_close(std::string& out) {
  out += "</tbody></table>\n";
}
