#include "batch/frame_report.h"

#include <cstdio>

namespace vorlino {
namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0. Overlong forms, surrogates and
// values above U+10FFFF are invalid.
std::size_t utf8Length(const std::string& s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t n = 0;
  unsigned value = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    value = c & 0x1Fu;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    value = c & 0x0Fu;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    value = c & 0x07u;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(i + k) & 0x3Fu);
  }
  if ((n == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
      (n == 4 && (value < 0x10000 || value > 0x10FFFF)))
    return 0;
  return n;
}

}  // namespace

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = utf8Length(text, i);
      if (n == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(text, i, n);
        i += n;
      }
      continue;
    }
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  out += '"';
  return out;
}

std::string frameReportLine(const FrameReportEntry& entry) {
  return "{\"input\":" + jsonString(entry.input) + ",\"output\":" + jsonString(entry.output) +
         ",\"status\":" + jsonString(entry.status) +
         ",\"milliseconds\":" + std::to_string(entry.milliseconds) +
         ",\"message\":" + jsonString(entry.message) + "}";
}

std::vector<std::string> readPathList(std::istream& in) {
  std::vector<std::string> paths;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    paths.push_back(line);
  }
  return paths;
}

}  // namespace vorlino
