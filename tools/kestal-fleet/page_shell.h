// The frame of a fleet page: head with the style and a content policy, the facts, the
// body the caller built, the footer with the version, the data block and the script.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A label and its value, the value already escaped.
using PageFact = std::pair<std::string_view, std::string>;

// `data_json` is the object the script builds the tables from (see page_data.h).
std::string page_document(std::string_view title, const std::vector<PageFact>& facts,
                          std::string_view body_html, std::string_view data_json,
                          std::string_view version);

// A selection as the page's facts show it; none means every terminal.
std::string selection_html(std::string_view cp1252);

// A titled section of the page's body.
std::string section_html(std::string_view heading, std::string_view body_html);
