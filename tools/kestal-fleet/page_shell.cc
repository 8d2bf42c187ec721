// Page frame. The content policy allows nothing to be fetched and only the page's own
// script to run (by a fresh nonce), so even markup that slipped through escaping stays inert.
#include "page_shell.h"

#include <cstdio>
#include <random>

#include "html_text.h"
#include "page_assets.h"
#include "page_data.h"
#include "page_palette.h"

namespace {

std::string fresh_nonce() {
  std::random_device random;
  std::string nonce;
  for (int i = 0; i < 4; ++i) {
    char part[16];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
    nonce += part;
  }
  return nonce;
}

}  // namespace

std::string page_document(std::string_view title, const std::vector<PageFact>& facts,
                          std::string_view body_html, std::string_view data_json,
                          std::string_view version) {
  std::string nonce = fresh_nonce();
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; img-src data:; script-src 'nonce-" +
      nonce +
      "'\">\n<meta name=\"viewport\" content=\"width=device-width\">\n"
      "<link rel=\"icon\" href=\"data:,\">\n<title>" +
      html_escape(title) + "</title>\n<style>" + std::string(kPageStyle) + palette_css() +
      "</style></head>\n<body>\n<header><h1>" + html_escape(title) +
      "</h1>\n<dl class=\"facts\">\n";
  for (const auto& [label, value_html] : facts) {
    out += "<dt>" + html_escape(label) + "</dt><dd>" + value_html + "</dd>\n";
  }
  out += "</dl></header>\n<main>\n";
  out += body_html;
  out += "</main>\n<footer>Written by kestal-fleet " + html_escape(version) + "</footer>\n";
  out += data_block_html(data_json);
  out += "<script nonce=\"" + nonce + "\">" + std::string(kPageScript) + "</script>\n";
  return out + "</body></html>\n";
}

std::string section_html(std::string_view heading, std::string_view body_html) {
  return "<section><h2>" + html_escape(heading) + "</h2>\n" + std::string(body_html) +
         "</section>\n";
}

std::string selection_html(std::string_view cp1252) {
  return cp1252.empty() ? std::string("all terminals") : html_text(cp1252);
}
