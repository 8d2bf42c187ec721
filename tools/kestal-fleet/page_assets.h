// The fixed style sheet and script of the fleet page, inlined into every page.
#pragma once

#include <string_view>

extern const std::string_view kPageStyle;
// Sorting and filtering of the table with id "rows"; it reads everything from the DOM,
// so no data ever passes through script text.
extern const std::string_view kPageScript;
