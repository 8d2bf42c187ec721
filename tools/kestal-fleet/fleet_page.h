// The fleet at a glance: one self-contained HTML page (inline CSS, SVG and script,
// nothing fetched) of a push or of a status read, in UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "fleet_result.h"

std::string push_page_html(const PushReport& report, std::string_view version);
std::string status_page_html(const StatusReport& report, std::string_view version);
