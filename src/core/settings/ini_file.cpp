#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace vorlino {

namespace {

namespace fs = std::filesystem;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isQuote(char c) {
  return c == '"' || c == '\'';
}

// The value as read: trimmed, one pair of matching quotes removed.
std::string unquote(std::string_view raw) {
  std::string_view v = trim(raw);
  if (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return std::string(v);
}

// The value as written: quoted exactly when reading it back would otherwise change it.
std::string quoteIfNeeded(std::string_view value) {
  const bool needs =
      !value.empty() &&
      (isBlank(value.front()) || isBlank(value.back()) ||
       (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front()));
  if (!needs) return std::string(value);
  return '"' + std::string(value) + '"';
}

// value cut after maxChars characters, counting a UTF-8 sequence as one character.
std::string cutToCharacters(std::string value, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte of the current character
    if (chars == maxChars) {
      value.resize(i);
      break;
    }
    ++chars;
  }
  return value;
}

bool hasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string systemReason(int error) {
  return std::strerror(error);
}

// Writes all bytes to fd, retrying short writes and interruptions.
bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool sameIniName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lowerAscii(x) == lowerAscii(y);
         });
}

bool IniFile::load(const std::string& path) {
  sections_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string text;
  try {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    // A read error (a folder in the file's place opens but cannot be read) throws from the
    // stream buffer: it is an unreadable file like any other.
    return false;
  }
  if (in.bad()) return false;
  parse(text);
  return true;
}

void IniFile::parse(std::string_view text) {
  sections_.clear();
  sections_.push_back(Section{});
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const std::string_view trimmed = trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const std::size_t close = trimmed.find(']');
      Section section;
      section.name = std::string(trim(
          trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      section.hasHeader = true;
      sections_.push_back(std::move(section));
      continue;
    }
    Line entry;
    entry.raw = std::string(line);
    const std::size_t equals = line.find('=');
    if (!trimmed.empty() && trimmed.front() != ';' && equals != std::string_view::npos) {
      const std::string_view key = trim(line.substr(0, equals));
      if (!key.empty()) {
        entry.isKey = true;
        entry.key = std::string(key);
        entry.value = unquote(line.substr(equals + 1));
      }
    }
    sections_.back().lines.push_back(std::move(entry));
  }
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
  for (const Section& s : sections_)
    if (s.hasHeader && sameIniName(s.name, name)) return &s;
  return nullptr;
}

IniFile::Section* IniFile::findSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).findSection(name));
}

bool IniFile::hasSection(std::string_view section) const {
  return findSection(section) != nullptr;
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const {
  const Section* s = findSection(section);
  if (!s) return false;
  return std::any_of(s->lines.begin(), s->lines.end(),
                     [&](const Line& l) { return l.isKey && sameIniName(l.key, key); });
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  if (const Section* s = findSection(section)) {
    for (const Line& l : s->lines)
      if (l.isKey && sameIniName(l.key, key)) return cutToCharacters(l.value, kMaxValueLength);
  }
  return cutToCharacters(std::string(defaultValue), kMaxValueLength);
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) return false;
  if (section.find(']') != std::string_view::npos || trim(section) != section) return false;
  if (key.empty() || trim(key) != key || key.find('=') != std::string_view::npos ||
      key.front() == '[' || key.front() == ';')
    return false;

  Section* s = findSection(section);
  if (!s) {
    // Keep a blank line between the previous text and the new section.
    bool anyText = false;
    for (const Section& other : sections_)
      anyText = anyText || other.hasHeader || !other.lines.empty();
    if (anyText) {
      Section& last = sections_.back();
      if (last.lines.empty() || !trim(last.lines.back().raw).empty()) last.lines.push_back(Line{});
    }
    Section added;
    added.name = std::string(section);
    added.hasHeader = true;
    sections_.push_back(std::move(added));
    s = &sections_.back();
  }

  for (Line& l : s->lines) {
    if (l.isKey && sameIniName(l.key, key)) {
      l.value = std::string(value);
      l.raw = l.key + '=' + quoteIfNeeded(value);
      return true;
    }
  }
  Line entry;
  entry.isKey = true;
  entry.key = std::string(key);
  entry.value = std::string(value);
  entry.raw = entry.key + '=' + quoteIfNeeded(value);
  // After the last non-blank line of the section, so blank lines before the next header stay.
  auto at = s->lines.end();
  while (at != s->lines.begin() && trim(std::prev(at)->raw).empty()) --at;
  s->lines.insert(at, std::move(entry));
  return true;
}

std::string IniFile::text() const {
  std::string out;
  for (const Section& s : sections_) {
    if (s.hasHeader) out += '[' + s.name + "]\n";
    for (const Line& l : s.lines) out += l.raw + '\n';
  }
  return out;
}

IniWriteResult IniFile::save(const std::string& path) const {
  std::error_code ec;
  fs::path target(path);
  // Replace the file a symbolic link names, not the link.
  for (int hops = 0; hops < 16 && fs::is_symlink(target, ec); ++hops) {
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) break;
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) return {IniWriteStatus::iwFolder, ec.message()};
  }

  std::string pattern = (folder / (target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return {IniWriteStatus::iwCreate, systemReason(errno)};
  struct stat existing {};
  const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);

  const std::string bytes = text();
  bool written = writeAll(fd, bytes);
  int error = written ? 0 : errno;
  if (written && ::fsync(fd) != 0) {
    written = false;
    error = errno;
  }
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    ::unlink(pattern.c_str());
    return {IniWriteStatus::iwWrite, systemReason(error)};
  }
  if (::rename(pattern.c_str(), target.c_str()) != 0) {
    error = errno;
    ::unlink(pattern.c_str());
    return {IniWriteStatus::iwRename, systemReason(error)};
  }
  return {};
}

}  // namespace vorlino
