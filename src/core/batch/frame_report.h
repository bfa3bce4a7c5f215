// The record a batch keeps of its photos, for runs spread over many machines: one JSON object per
// line and per photo, so that the reports of all machines can be concatenated and checked.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace vorlino {

struct FrameReportEntry {
  std::string input;
  std::string output;
  std::string status;  // "done", "skipped" or "failed"
  long long milliseconds = 0;
  std::string message;  // the French text of a failure or a skip; empty when done
};

// text as a JSON string with its quotes: quotes, backslashes and control characters escaped;
// bytes that are not valid UTF-8 (file names may hold any bytes) become U+FFFD, so that the line
// stays valid JSON.
std::string jsonString(const std::string& text);

// One line, without its newline:
// {"input":"...","output":"...","status":"...","milliseconds":N,"message":"..."}
std::string frameReportLine(const FrameReportEntry& entry);

// The paths of a list, one per line: a carriage return before the newline is dropped, and blank
// lines are skipped. Other spaces belong to the path.
std::vector<std::string> readPathList(std::istream& in);

}  // namespace vorlino
