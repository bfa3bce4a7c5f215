// The preferences: what the program remembers between runs, in the sections "Params" and
// "Fichiers" of its initialisation file.
//
// The key table below is the one list of keys; loadSettings and saveSettings walk it in its order.
// Every value is read with the default "ERR!", so a missing key and a value that is literally
// "ERR!" mean the same: keep what the Settings held before.
//
// The main window fills a Settings with its start-up state, calls loadSettings, and applies the
// result; at exit it fills a Settings from its state and calls saveSettings. The mask is replayed
// by the window in the order maskReplaySteps gives.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "bitmap/color.h"
#include "settings/ini_file.h"

namespace vorlino {

inline constexpr std::string_view kMissingValue = "ERR!";
inline constexpr std::string_view kParamsSection = "Params";
inline constexpr std::string_view kFilesSection = "Fichiers";
inline constexpr std::size_t kMaxRecentFiles = 4;

enum class SettingId {
  siOpenFolder,
  siSaveFolder,
  siMaximized,
  siPreview,
  siMaskPath,
  siColour,
  siNegative,
  siAngle,
  siFormat,
  siSoften,
  siTwoTone,
  siFit,
  siKeepMetadata,
  siLivePreview,
  siGallery,
  siKeepShape,
  siSoftAlpha,
  siRecent1,
  siRecent2,
  siRecent3,
  siRecent4,
};

struct SettingKey {
  SettingId id;
  std::string_view section;
  std::string_view key;
  std::string_view defaultText;  // what a fresh Settings writes ("" for the open folder means
                                 // the program's folder, which the caller puts in)
  std::string_view meaning;
};

// Every key, in the order in which it is read and written.
inline constexpr std::array<SettingKey, 21> kSettingKeys{{
    {SettingId::siOpenFolder, kParamsSection, "Ouvrir", "",
     "folder of the open dialog; taken when the folder exists"},
    {SettingId::siSaveFolder, kParamsSection, "Enregistrer", "",
     "folder of the save dialog; taken when the folder exists"},
    {SettingId::siMaximized, kParamsSection, "Agrandir", "0", "\"1\": the window opens maximised"},
    {SettingId::siPreview, kParamsSection, "Apercu", "0",
     "\"1\": the open dialog shows its preview"},
    {SettingId::siMaskPath, kParamsSection, "Masque", "",
     "mask picture; loaded when the file exists, empty for no mask"},
    {SettingId::siColour, kParamsSection, "Couleur", "#FFFFFF",
     "blend colour as colour text; unreadable text keeps the current colour"},
    {SettingId::siNegative, kParamsSection, "Negatif", "0", "\"1\": the loaded mask is inverted"},
    {SettingId::siAngle, kParamsSection, "Angle", "0",
     "quarter turns of the loaded mask: 0, 90, 180 or 270; other values ignored"},
    {SettingId::siFormat, kParamsSection, "Format", "0",
     "result format item: \"1\" selects \"Transparent\", else \"Couleurs RVB\""},
    {SettingId::siSoften, kParamsSection, "Adoucir", "0", "\"1\": the soften option is checked"},
    {SettingId::siTwoTone, kParamsSection, "Bichromie", "0",
     "\"1\": the two-tone option is checked"},
    {SettingId::siFit, kParamsSection, "Ajuster", "1",
     "\"0\": repeat the mask as tiles; any other value: fit it to the photo"},
    {SettingId::siKeepMetadata, kParamsSection, "Metadonnees", "1",
     "\"0\": saves drop a photo's EXIF, XMP and IPTC (its colour profile stays); any other "
     "value: they are kept"},
    {SettingId::siLivePreview, kParamsSection, "ApercuDirect", "1",
     "\"0\": the side panel's changes are not shown before \"Appliquer le masque\""},
    {SettingId::siGallery, kParamsSection, "Galerie", "1",
     "\"0\": the gallery of masks is closed; any other value: it is shown"},
    {SettingId::siKeepShape, kParamsSection, "SansDeformer", "0",
     "\"1\": fit the mask without stretching its corners (\"Ajuster\" is then \"0\")"},
    {SettingId::siSoftAlpha, kParamsSection, "TransparenceProgressive", "0",
     "\"1\": the result format is \"Transparence progressive\" (\"Format\" is then 0, which "
     "programs without that format read as \"Couleurs RVB\")"},
    {SettingId::siRecent1, kFilesSection, "Fichier1", "", "most recent file"},
    {SettingId::siRecent2, kFilesSection, "Fichier2", "", "second recent file"},
    {SettingId::siRecent3, kFilesSection, "Fichier3", "", "third recent file"},
    {SettingId::siRecent4, kFilesSection, "Fichier4", "", "fourth recent file"},
}};

struct Settings {
  std::string openFolder;                // "Ouvrir"
  std::string saveFolder;                // "Enregistrer"
  bool maximized = false;                // "Agrandir"
  bool preview = false;                  // "Apercu"
  std::string maskPath;                  // "Masque"; empty: no mask
  Color colour = kWhite;                 // "Couleur"
  bool negative = false;                 // "Negatif"
  int angle = 0;                         // "Angle": 0, 90, 180 or 270
  int format = 0;                        // "Format": 0 "Couleurs RVB", 1 "Transparent"
  bool soften = false;                   // "Adoucir"
  bool twoTone = false;                  // "Bichromie"
  bool fit = true;                       // "Ajuster": true fit, false repeat
  bool keepMetadata = true;              // "Metadonnees"
  bool livePreview = true;               // "ApercuDirect"
  bool gallery = true;                   // "Galerie": the gallery of masks is shown
  bool keepShape = false;                // "SansDeformer": wins over fit and repeat
  bool softAlpha = false;                // "TransparenceProgressive"
  std::vector<std::string> recentFiles;  // newest first, at most kMaxRecentFiles
};

// Reads every key of the table into settings, which holds the state to keep for missing or
// unusable values. Folders are taken only when they exist, the mask path only when the file
// exists; the recent list is rebuilt from the non-empty "Fichier" keys in order.
void loadSettings(const IniFile& file, Settings& settings);

// Writes every "Params" key of the table, then "Fichier1".."Fichier"n for the n recent files;
// later "Fichier" keys already in the file are left as they were. A text that cannot be stored on
// one line (a name holding a line break) is written empty, which reads back as "none".
void saveSettings(IniFile& file, const Settings& settings);

// Loads the file at path (missing: defaults kept) into settings.
void loadSettingsFile(const std::string& path, Settings& settings);
// Reads the file at path, so that foreign keys survive, writes settings into it and saves it
// atomically. On failure the previous file is unchanged; the caller shows
// "Impossible d'écrire dans %s" with the path.
IniWriteResult saveSettingsFile(const std::string& path, const Settings& settings);

// ---- replaying the mask -------------------------------------------------------------------------

enum class MaskReplayStep {
  rpLoadMask,           // LoadMask(maskPath): resets the negative flag and the angle
  rpInvert,             // InvertBitmap on the mask; negative flag := true
  rpRotateQuarter,      // a quarter turn clockwise; angle := 90
  rpRotateHalf,         // a half turn; angle := 180
  rpRotateQuarterBack,  // a quarter turn anticlockwise; angle := 270
};

// The operations that restore the saved mask, in order: load, then "Negatif", then "Angle".
// Nothing when there is no mask path. The window stops after rpLoadMask when the mask picture
// is still empty (an unreadable file), so the flags are then written back as "0".
std::vector<MaskReplayStep> maskReplaySteps(const Settings& settings);

// ---- colour text --------------------------------------------------------------------------------

// "#RRGGBB" in upper case for a plain colour. A symbolic system colour, "no colour" and the
// default colour are written by name ("clBtnFace", "clNone", "clDefault"), which TextToColour
// reads back unchanged; their bytes alone would name an unrelated colour.
std::string ColourToText(Color colour);
// A colour name of the standard table (letter case ignored), or six hexadecimal digits red, green,
// blue after an optional "#" or "$"; anything else gives defaultColour.
Color TextToColour(std::string_view text, Color defaultColour);

// ---- recent files -------------------------------------------------------------------------------

// Moves a name already listed (letter case ignored) to the front, keeping its listed spelling;
// otherwise drops the last entry of a full list and puts name at the front.
void AddRecentFile(std::vector<std::string>& recentFiles, const std::string& name);
// File names compared without regard to letter case (ASCII and the accented Latin letters).
bool sameFileNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vorlino
