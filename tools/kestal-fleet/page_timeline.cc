// Timeline drawing. Thousands of terminals share a plot of bounded height: below 100
// rows each gets 6 px, above that the rows thin out instead of the page growing.
#include "page_timeline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "page_palette.h"

namespace {

constexpr double kWidth = 960;
constexpr double kLeft = 10;
constexpr double kPlot = kWidth - 2 * kLeft;
constexpr double kAxis = 22;

// Coordinates; a time that is not a number would make the browser reject the bar.
std::string num(double v) {
  if (!std::isfinite(v)) v = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// A tick step that gives at most ten ticks, in units people count time in.
double tick_step(double total) {
  constexpr std::array<double, 16> kSteps = {0.1, 0.2, 0.5, 1,   2,   5,    10,   15,
                                             30,  60,  120, 300, 600, 1800, 3600, 7200};
  for (double s : kSteps) {
    if (total / s <= 10) return s;
  }
  return total / 10;
}

std::string tick_label(double t, double step) {
  char text[32];
  if (step >= 3600) {
    std::snprintf(text, sizeof text, "%g h", t / 3600);
  } else if (step >= 60) {
    std::snprintf(text, sizeof text, "%g min", t / 60);
  } else {
    std::snprintf(text, sizeof text, "%g s", t);
  }
  return text;
}

std::string axis(double total, double height) {
  std::string out;
  double step = tick_step(total);
  for (int i = 0; i * step <= total + 1e-9; ++i) {
    double x = kLeft + i * step / total * kPlot;
    out += "<line class=\"grid\" x1=\"" + num(x) + "\" x2=\"" + num(x) + "\" y1=\"" +
           num(kAxis - 4) + "\" y2=\"" + num(height) + "\"/><text x=\"" + num(x) + "\" y=\"14\">" +
           tick_label(i * step, step) + "</text>\n";
  }
  return out;
}

std::string svg_open(double height) {
  return "<svg class=\"tl\" width=\"" + num(kWidth) + "\" height=\"" + num(height) +
         "\" viewBox=\"0 0 " + num(kWidth) + " " + num(height) +
         "\" role=\"img\" aria-label=\"One bar per terminal, from start to end\">\n";
}

}  // namespace

std::string timeline_svg(std::vector<TimelineBar> bars, double total) {
  std::stable_sort(bars.begin(), bars.end(),
                   [](const TimelineBar& a, const TimelineBar& b) { return a.start < b.start; });
  for (const auto& b : bars) total = std::max(total, b.start + b.seconds);
  if (total <= 0) total = 1;
  double n = static_cast<double>(bars.size());
  double pitch = bars.size() <= 100 ? 6 : std::max(600 / n, 0.2);
  double thickness = pitch >= 3 ? pitch - 1 : pitch;
  double height = kAxis + n * pitch + 2;
  std::string out = svg_open(height) + axis(total, height);
  double y = kAxis;
  for (const auto& b : bars) {
    double x = kLeft + b.start / total * kPlot;
    double w = std::max(b.seconds / total * kPlot, 1.0);
    out += "<rect class=\"" + word_class(b.word) + "\" x=\"" + num(x) + "\" y=\"" + num(y) +
           "\" width=\"" + num(w) + "\" height=\"" + num(thickness) + "\"><title>" + b.title_html +
           "</title></rect>\n";
    y += pitch;
  }
  return out + "</svg>\n";
}

std::string timeline_canvas(std::size_t count, double total, const TimelineFields& fields) {
  if (!(total > 0)) total = 1;
  constexpr double kPlotHeight = 600;
  double height = kAxis + kPlotHeight + 2;
  double pitch = kPlotHeight / static_cast<double>(std::max<std::size_t>(count, 1));
  std::string out = "<div class=\"tlbox\">" + svg_open(height) + axis(total, height) + "</svg>";
  out += "<canvas class=\"tl\" aria-hidden=\"true\" width=\"" +
         std::to_string(static_cast<int>(kWidth)) + "\" height=\"" +
         std::to_string(static_cast<int>(height)) + "\"";
  for (const auto& [key, value] :
       {std::pair{"left", kLeft}, {"plot", kPlot}, {"axis", kAxis}, {"total", total}}) {
    out += std::string(" data-") + key + "=\"" + num(value) + "\"";
  }
  char pitches[96];
  std::snprintf(pitches, sizeof pitches, " data-pitch=\"%.9g\" data-thick=\"%.9g\"", pitch,
                std::max(pitch, 1.0));
  out += pitches;
  out += " data-name=\"" + std::to_string(fields.name) + "\" data-start=\"" +
         std::to_string(fields.start) + "\" data-len=\"" + std::to_string(fields.seconds) +
         "\" data-word=\"" + std::to_string(fields.word) + "\" data-tries=\"" +
         std::to_string(fields.tries) + "\"></canvas></div>\n";
  return out;
}
