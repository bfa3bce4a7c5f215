#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace vorlino {

namespace {

namespace fs = std::filesystem;

bool folderExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec) && !fs::is_directory(path, ec);
}

bool isRecent(SettingId id) {
  return id >= SettingId::siRecent1;
}

std::size_t recentIndex(SettingId id) {
  return static_cast<std::size_t>(id) - static_cast<std::size_t>(SettingId::siRecent1);
}

const char* flag(bool on) {
  return on ? "1" : "0";
}

// Applies one read value; value is never "ERR!" here.
void applyValue(Settings& s, SettingId id, const std::string& value) {
  switch (id) {
    case SettingId::siOpenFolder:
      if (folderExists(value)) s.openFolder = value;
      break;
    case SettingId::siSaveFolder:
      if (folderExists(value)) s.saveFolder = value;
      break;
    case SettingId::siMaximized:
      s.maximized = value == "1";
      break;
    case SettingId::siPreview:
      s.preview = value == "1";
      break;
    case SettingId::siMaskPath:
      if (fileExists(value)) s.maskPath = value;
      break;
    case SettingId::siColour:
      s.colour = TextToColour(value, s.colour);
      break;
    case SettingId::siNegative:
      s.negative = value == "1";
      break;
    case SettingId::siAngle:
      if (value == "90" || value == "180" || value == "270") s.angle = std::stoi(value);
      break;
    case SettingId::siFormat:
      if (value == "1") s.format = 1;
      break;
    case SettingId::siSoften:
      s.soften = value == "1";
      break;
    case SettingId::siTwoTone:
      s.twoTone = value == "1";
      break;
    case SettingId::siFit:
      s.fit = value != "0";
      break;
    case SettingId::siKeepMetadata:
      s.keepMetadata = value != "0";
      break;
    case SettingId::siLivePreview:
      s.livePreview = value != "0";
      break;
    case SettingId::siGallery:
      s.gallery = value != "0";
      break;
    case SettingId::siKeepShape:
      s.keepShape = value == "1";
      break;
    case SettingId::siSoftAlpha:
      s.softAlpha = value == "1";
      break;
    case SettingId::siRecent1:
    case SettingId::siRecent2:
    case SettingId::siRecent3:
    case SettingId::siRecent4:
      if (!value.empty() && s.recentFiles.size() < kMaxRecentFiles) s.recentFiles.push_back(value);
      break;
  }
}

std::string valueText(const Settings& s, SettingId id) {
  switch (id) {
    case SettingId::siOpenFolder:
      return s.openFolder;
    case SettingId::siSaveFolder:
      return s.saveFolder;
    case SettingId::siMaximized:
      return flag(s.maximized);
    case SettingId::siPreview:
      return flag(s.preview);
    case SettingId::siMaskPath:
      return s.maskPath;
    case SettingId::siColour:
      return ColourToText(s.colour);
    case SettingId::siNegative:
      return flag(s.negative);
    case SettingId::siAngle:
      return std::to_string(s.angle);
    case SettingId::siFormat:
      return std::to_string(s.format);
    case SettingId::siSoften:
      return flag(s.soften);
    case SettingId::siTwoTone:
      return flag(s.twoTone);
    case SettingId::siFit:
      return flag(s.fit);
    case SettingId::siKeepMetadata:
      return flag(s.keepMetadata);
    case SettingId::siLivePreview:
      return flag(s.livePreview);
    case SettingId::siGallery:
      return flag(s.gallery);
    case SettingId::siKeepShape:
      return flag(s.keepShape);
    case SettingId::siSoftAlpha:
      return flag(s.softAlpha);
    case SettingId::siRecent1:
    case SettingId::siRecent2:
    case SettingId::siRecent3:
    case SettingId::siRecent4:
      return s.recentFiles[recentIndex(id)];
  }
  return {};
}

// ---- colour names -----------------------------------------------------------------------------

struct ColourName {
  std::string_view name;
  Color value;
};

constexpr Color kDefaultColour = 0x20000000;

// The standard colour table: plain colours, then the system colours by index, then the two
// special values.
constexpr ColourName kColourNames[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", systemColor(0)},
    {"clBackground", systemColor(1)},
    {"clActiveCaption", systemColor(2)},
    {"clInactiveCaption", systemColor(3)},
    {"clMenu", systemColor(4)},
    {"clWindow", systemColor(5)},
    {"clWindowFrame", systemColor(6)},
    {"clMenuText", systemColor(7)},
    {"clWindowText", systemColor(8)},
    {"clCaptionText", systemColor(9)},
    {"clActiveBorder", systemColor(10)},
    {"clInactiveBorder", systemColor(11)},
    {"clAppWorkSpace", systemColor(12)},
    {"clHighlight", systemColor(13)},
    {"clHighlightText", systemColor(14)},
    {"clBtnFace", systemColor(15)},
    {"clBtnShadow", systemColor(16)},
    {"clGrayText", systemColor(17)},
    {"clBtnText", systemColor(18)},
    {"clInactiveCaptionText", systemColor(19)},
    {"clBtnHighlight", systemColor(20)},
    {"cl3DDkShadow", systemColor(21)},
    {"cl3DLight", systemColor(22)},
    {"clInfoText", systemColor(23)},
    {"clInfoBk", systemColor(24)},
    {"clHotLight", systemColor(26)},
    {"clGradientActiveCaption", systemColor(27)},
    {"clGradientInactiveCaption", systemColor(28)},
    {"clMenuHighlight", systemColor(29)},
    {"clMenuBar", systemColor(30)},
    {"clNone", kNoColor},
    {"clDefault", kDefaultColour},
};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One character of a UTF-8 text, folded: ASCII letters and the accented Latin-1 capitals
// (U+00C0..U+00DE but U+00D7) fold to lower case; returns the number of bytes consumed.
std::size_t foldNext(std::string_view s, std::size_t i, std::uint32_t& out) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (b >= 'A' && b <= 'Z') {
    out = b - 'A' + 'a';
    return 1;
  }
  if (b == 0xC3 && i + 1 < s.size()) {
    const auto c = static_cast<unsigned char>(s[i + 1]);
    out = 0xC300u | c;
    if (c >= 0x80 && c <= 0x9E && c != 0x97) out += 0x20;
    return 2;
  }
  out = b;
  return 1;
}

}  // namespace

void loadSettings(const IniFile& file, Settings& settings) {
  Settings& s = settings;
  bool recentSeen = false;
  for (const SettingKey& k : kSettingKeys) {
    if (isRecent(k.id) && !recentSeen) {
      // The list is rebuilt from the file; a missing "Fichiers" section gives an empty list.
      recentSeen = true;
      s.recentFiles.clear();
    }
    const std::string value = file.readString(k.section, k.key, kMissingValue);
    if (value == kMissingValue) continue;
    applyValue(s, k.id, value);
  }
}

void saveSettings(IniFile& file, const Settings& settings) {
  for (const SettingKey& k : kSettingKeys) {
    if (isRecent(k.id) && recentIndex(k.id) >= settings.recentFiles.size()) continue;
    const std::string value = valueText(settings, k.id);
    if (!file.writeString(k.section, k.key, value)) file.writeString(k.section, k.key, "");
  }
}

void loadSettingsFile(const std::string& path, Settings& settings) {
  IniFile file;
  file.load(path);
  loadSettings(file, settings);
}

IniWriteResult saveSettingsFile(const std::string& path, const Settings& settings) {
  IniFile file;
  file.load(path);
  saveSettings(file, settings);
  return file.save(path);
}

std::vector<MaskReplayStep> maskReplaySteps(const Settings& settings) {
  std::vector<MaskReplayStep> steps;
  if (settings.maskPath.empty()) return steps;
  steps.push_back(MaskReplayStep::rpLoadMask);
  if (settings.negative) steps.push_back(MaskReplayStep::rpInvert);
  switch (settings.angle) {
    case 90:
      steps.push_back(MaskReplayStep::rpRotateQuarter);
      break;
    case 180:
      steps.push_back(MaskReplayStep::rpRotateHalf);
      break;
    case 270:
      steps.push_back(MaskReplayStep::rpRotateQuarterBack);
      break;
    default:
      break;
  }
  return steps;
}

std::string ColourToText(Color colour) {
  // Names only for values beyond plain RGB: system colours, "no colour", the default colour.
  if (colour > 0xFFFFFF) {
    for (const ColourName& n : kColourNames)
      if (n.value == colour) return std::string(n.name);
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "#";
  for (const std::uint8_t byte : {redOf(colour), greenOf(colour), blueOf(colour)}) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

Color TextToColour(std::string_view text, Color defaultColour) {
  for (const ColourName& n : kColourNames)
    if (sameIniName(n.name, text)) return n.value;
  if (!text.empty() && (text.front() == '#' || text.front() == '$')) text.remove_prefix(1);
  if (text.size() != 6) return defaultColour;
  std::uint8_t bytes[3];
  for (int i = 0; i < 3; ++i) {
    const int high = hexDigit(text[std::size_t(2 * i)]);
    const int low = hexDigit(text[std::size_t(2 * i + 1)]);
    if (high < 0 || low < 0) return defaultColour;
    bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return rgb(bytes[0], bytes[1], bytes[2]);
}

bool sameFileNameIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    std::uint32_t x = 0, y = 0;
    i += foldNext(a, i, x);
    j += foldNext(b, j, y);
    if (x != y) return false;
  }
  return i == a.size() && j == b.size();
}

void AddRecentFile(std::vector<std::string>& recentFiles, const std::string& name) {
  const auto found =
      std::find_if(recentFiles.begin(), recentFiles.end(),
                   [&](const std::string& entry) { return sameFileNameIgnoringCase(entry, name); });
  if (found != recentFiles.end()) {
    std::rotate(recentFiles.begin(), found, found + 1);
    return;
  }
  if (recentFiles.size() >= kMaxRecentFiles) recentFiles.resize(kMaxRecentFiles - 1);
  recentFiles.insert(recentFiles.begin(), name);
}

}  // namespace vorlino
