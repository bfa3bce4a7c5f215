// A small initialisation file: "[Section]" headers followed by "key=value" lines.
//
// Reading follows the classic initialisation-file rules the preferences rely on: section and key
// names are compared without regard to ASCII letter case, blanks around names and values are
// ignored, one pair of matching quotes around a value is removed, lines starting with ';' are
// comments, and a value longer than kMaxValueLength characters arrives cut. Files written by hand
// with CRLF or LF line ends (and an optional UTF-8 byte order mark) are read alike.
//
// Writing changes the file in memory, line by line: an existing key is rewritten in place, a new
// key goes after the last key of its section, a new section at the end; every other line (comments,
// unknown keys and sections) stays where it was. save() writes the whole text with LF line ends to
// a temporary file beside the target and renames it over the target, so the previous file is
// either replaced whole or left as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlino {

// Outcome of IniFile::save: status plus the system's reason when it failed.
enum class IniWriteStatus { iwOk, iwFolder, iwCreate, iwWrite, iwRename };
struct IniWriteResult {
  IniWriteStatus status = IniWriteStatus::iwOk;
  std::string detail;
  bool ok() const { return status == IniWriteStatus::iwOk; }
};

class IniFile {
 public:
  // Longest value handed out by readString, in characters (UTF-8 sequences count as one).
  static constexpr std::size_t kMaxValueLength = 2047;

  IniFile() = default;

  // Replaces the contents by the file's text. A missing or unreadable file gives an empty file
  // and returns false; nothing is reported, as a missing file simply means defaults.
  bool load(const std::string& path);
  // Replaces the contents by text in the file format.
  void parse(std::string_view text);

  // The value of key in section, or defaultValue when either is missing. When a section or key
  // appears twice, the first one counts.
  std::string readString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  bool hasSection(std::string_view section) const;
  bool hasKey(std::string_view section, std::string_view key) const;

  // Sets key in section (see the header comment for where it goes). Returns false, changing
  // nothing, when the name or value cannot be stored in one line: a line break in any of them, an
  // empty or '='-holding key, or a ']' in the section name. A value that would not read back the
  // same (blanks or quotes at its ends) is written between double quotes.
  bool writeString(std::string_view section, std::string_view key, std::string_view value);

  // The whole file as text, LF line ends.
  std::string text() const;
  // Writes text() to path through a temporary file and a rename; the folder of path is created
  // when missing. A symbolic link at path is followed, and an existing file keeps its permissions.
  IniWriteResult save(const std::string& path) const;

 private:
  struct Line {
    std::string raw;  // the line as it is written back
    bool isKey = false;
    std::string key;    // trimmed name when isKey
    std::string value;  // trimmed, unquoted value when isKey
  };
  struct Section {
    std::string name;         // trimmed; empty for the lines before the first header
    std::vector<Line> lines;  // the header line itself is not part of it
    bool hasHeader = false;
  };

  const Section* findSection(std::string_view name) const;
  Section* findSection(std::string_view name);

  std::vector<Section> sections_;
};

// Comparison used for section and key names: ASCII letters without regard to case.
bool sameIniName(std::string_view a, std::string_view b);

}  // namespace vorlino
