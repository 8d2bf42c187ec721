// The frame of a fleet page: head with the style and a content policy, the header of
// facts, the body the caller built, the footer with the version, and the script.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A label and its value, the value already escaped.
using PageFact = std::pair<std::string_view, std::string>;

std::string page_document(std::string_view title, const std::vector<PageFact>& facts,
                          std::string_view body_html, std::string_view version);

// A titled section of the page's body.
std::string section_html(std::string_view heading, std::string_view body_html);
