// The timeline of a push: one thin bar per terminal from its start to its end, coloured
// by outcome (SVG, or a canvas the script fills on a large push), so time-outs stand out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TimelineBar {
  double start = 0;    // seconds from the push's start
  double seconds = 0;  // length of the try
  std::string_view word;
  std::string title_html;  // hover text, already escaped
};

// Bars are drawn in order of their start; `total` is the push's wall time.
std::string timeline_svg(std::vector<TimelineBar> bars, double total);

// Where the page's script finds a bar in a data row.
struct TimelineFields {
  int name = 0;
  int start = 0;
  int seconds = 0;
  int word = 0;
  int tries = 0;
};

// The axis, and a canvas over it into which the script draws `count` bars from the data
// rows in a plot of fixed height; `total` already covers the last bar's end.
std::string timeline_canvas(std::size_t count, double total, const TimelineFields& fields);
