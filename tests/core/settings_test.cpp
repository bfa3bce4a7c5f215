#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "settings/app_paths.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "test_support.h"

namespace vorlino {
namespace {

namespace fs = std::filesystem;

using test::readFileText;
using test::ScratchFolder;
using test::writeFileText;

IniFile parsed(const std::string& text) {
  IniFile f;
  f.parse(text);
  return f;
}

// ---- the file format ----------------------------------------------------------------------------

TEST(IniFile, LooksUpSectionsAndKeysWithoutRegardToCase) {
  const IniFile f = parsed("[PARAMS]\nouvrir=/a\n  Agrandir  =  1  \n[fichiers]\nFICHIER1=x\n");
  EXPECT_EQ(f.readString("Params", "Ouvrir", "ERR!"), "/a");
  EXPECT_EQ(f.readString("params", "AGRANDIR", "ERR!"), "1");
  EXPECT_EQ(f.readString("Fichiers", "Fichier1", "ERR!"), "x");
  EXPECT_EQ(f.readString("Fichiers", "Fichier2", "ERR!"), "ERR!");
  EXPECT_EQ(f.readString("Autre", "Ouvrir", "ERR!"), "ERR!");
  // A key of another section is not found.
  EXPECT_EQ(f.readString("Fichiers", "Ouvrir", "ERR!"), "ERR!");
}

TEST(IniFile, ReadsCrlfAndLfFilesAlike) {
  const std::string lf = "; comment\n[Params]\nMasque=/m/cadre.bmp\nCouleur=#00FF80\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, crlf, "\xEF\xBB\xBF" + crlf}) {
    const IniFile f = parsed(text);
    EXPECT_EQ(f.readString("Params", "Masque", ""), "/m/cadre.bmp");
    EXPECT_EQ(f.readString("Params", "Couleur", ""), "#00FF80");
  }
  // The last line needs no line end.
  EXPECT_EQ(parsed("[Params]\r\nAngle=90").readString("Params", "Angle", ""), "90");
}

TEST(IniFile, CutsLongValuesAt2047Characters) {
  const std::string longValue(3000, 'x');
  IniFile f = parsed("[P]\nk=" + longValue + "\n");
  EXPECT_EQ(f.readString("P", "k", "").size(), 2047u);
  f = parsed("[P]\nk=" + std::string(2047, 'y') + "\n");
  EXPECT_EQ(f.readString("P", "k", ""), std::string(2047, 'y'));
  // A character written in several bytes is never split.
  std::string accents;
  for (int i = 0; i < 2100; ++i) accents += "\xC3\xA9";  // é
  f = parsed("[P]\nk=" + accents + "\n");
  EXPECT_EQ(f.readString("P", "k", ""), accents.substr(0, 2 * 2047));
}

TEST(IniFile, WritesInPlaceKeepingOrderAndForeignLines) {
  IniFile f =
      parsed("; mes réglages\r\n[Params]\r\nOuvrir=/old\r\nPerso=garde\r\n\r\n[Autre]\r\nx=1\r\n");
  ASSERT_TRUE(f.writeString("PARAMS", "ouvrir", "/new"));
  ASSERT_TRUE(f.writeString("Params", "Agrandir", "1"));
  ASSERT_TRUE(f.writeString("Fichiers", "Fichier1", "/p/a.jpg"));
  EXPECT_EQ(f.text(),
            "; mes réglages\n[Params]\nOuvrir=/new\nPerso=garde\nAgrandir=1\n\n[Autre]\nx=1\n"
            "\n[Fichiers]\nFichier1=/p/a.jpg\n");
}

TEST(IniFile, ValuesWithEdgeBlanksOrQuotesReadBackUnchanged) {
  IniFile f;
  for (const std::string value : {" lead", "trail ", "\"quoted\"", "'q'", "\"", "", "a=b"}) {
    ASSERT_TRUE(f.writeString("P", "k", value));
    EXPECT_EQ(parsed(f.text()).readString("P", "k", "ERR!"), value) << value;
  }
}

TEST(IniFile, RefusesWhatCannotBeStoredOnOneLine) {
  IniFile f = parsed("[P]\nk=v\n");
  const std::string before = f.text();
  EXPECT_FALSE(f.writeString("P", "k", "a\nb"));
  EXPECT_FALSE(f.writeString("P", "k=2", "x"));
  EXPECT_FALSE(f.writeString("P", "", "x"));
  EXPECT_FALSE(f.writeString("P]x", "k", "x"));
  EXPECT_EQ(f.text(), before);
}

TEST(IniFile, SavesAtomicallyAndReportsFailure) {
  ScratchFolder dir("vorlino-settings");
  IniFile f;
  f.writeString("Params", "Angle", "90");
  // The folder is created when missing.
  const fs::path nested = dir / "config/Vorlino/Vorlino.ini";
  ASSERT_TRUE(f.save(nested.string()).ok());
  EXPECT_EQ(readFileText(nested), "[Params]\nAngle=90\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(nested.parent_path()), fs::directory_iterator()),
            1);

  // A folder that cannot exist (a file stands in its way): reported, nothing written.
  writeFileText(dir / "plain", "not a folder");
  const IniWriteResult blocked = f.save((dir / "plain/sub/Vorlino.ini").string());
  EXPECT_FALSE(blocked.ok());
  EXPECT_EQ(blocked.status, IniWriteStatus::iwFolder);
  EXPECT_FALSE(blocked.detail.empty());
  EXPECT_EQ(readFileText(dir / "plain"), "not a folder");

  // A rename onto a folder fails and leaves no temporary file behind.
  fs::create_directory(dir / "taken.ini");
  EXPECT_EQ(f.save((dir / "taken.ini").string()).status, IniWriteStatus::iwRename);
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir / "")) files += e.is_regular_file();
  EXPECT_EQ(files, 1);  // "plain" only

  // Writing through a symbolic link replaces the file it names.
  writeFileText(dir / "real.ini", "[Params]\nAngle=0\n");
  fs::create_symlink("real.ini", dir / "link.ini");
  ASSERT_TRUE(f.save((dir / "link.ini").string()).ok());
  EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
  EXPECT_EQ(readFileText(dir / "real.ini"), "[Params]\nAngle=90\n");
}

TEST(IniFile, MissingFileLoadsEmpty) {
  ScratchFolder dir("vorlino-settings");
  IniFile f = parsed("[P]\nk=v\n");
  EXPECT_FALSE(f.load((dir / "none.ini").string()));
  EXPECT_FALSE(f.hasSection("P"));
  EXPECT_EQ(f.text(), "");
}

TEST(IniFile, AFolderInTheFilesPlaceLoadsEmptyAndCannotBeSaved) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directory(dir / "Vorlino.ini");
  IniFile f = parsed("[P]\nk=v\n");
  EXPECT_FALSE(f.load((dir / "Vorlino.ini").string()));  // no exception from the read
  EXPECT_FALSE(f.hasSection("P"));
  Settings defaults;
  loadSettingsFile((dir / "Vorlino.ini").string(), defaults);
  EXPECT_TRUE(defaults.fit);
  EXPECT_FALSE(saveSettingsFile((dir / "Vorlino.ini").string(), defaults).ok());
}

// ---- the preferences ----------------------------------------------------------------------------

TEST(Settings, MissingFileGivesDefaultsAndAFullParamsSection) {
  ScratchFolder dir("vorlino-settings");
  const std::string folder = dir.path().string() + "/";
  Settings s;
  s.openFolder = folder;
  loadSettingsFile((dir / "Vorlino.ini").string(), s);
  EXPECT_EQ(s.openFolder, folder);
  EXPECT_EQ(s.saveFolder, "");
  EXPECT_FALSE(s.maximized);
  EXPECT_EQ(s.maskPath, "");
  EXPECT_EQ(s.colour, kWhite);
  EXPECT_EQ(s.format, 0);
  EXPECT_TRUE(s.fit);
  EXPECT_FALSE(s.soften || s.twoTone || s.negative || s.preview);
  EXPECT_TRUE(s.recentFiles.empty());
  EXPECT_TRUE(maskReplaySteps(s).empty());

  ASSERT_TRUE(saveSettingsFile((dir / "Vorlino.ini").string(), s).ok());
  const IniFile written = [&] {
    IniFile f;
    f.load((dir / "Vorlino.ini").string());
    return f;
  }();
  EXPECT_FALSE(written.hasSection("Fichiers"));
  for (const SettingKey& k : kSettingKeys) {
    if (k.section != kParamsSection) continue;
    EXPECT_TRUE(written.hasKey(k.section, k.key)) << k.key;
    if (k.id != SettingId::siOpenFolder) {
      EXPECT_EQ(written.readString(k.section, k.key, "ERR!"), k.defaultText) << k.key;
    }
  }
}

TEST(Settings, EveryKeyRoundTripsInTableOrder) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directory(dir / "open");
  fs::create_directory(dir / "save");
  writeFileText(dir / "mask.bmp", "BM");
  Settings s;
  s.openFolder = (dir / "open").string();
  s.saveFolder = (dir / "save").string();
  s.maximized = true;
  s.preview = true;
  s.maskPath = (dir / "mask.bmp").string();
  s.colour = rgb(0x12, 0xAB, 0xEF);
  s.negative = true;
  s.angle = 270;
  s.format = 1;
  s.soften = true;
  s.twoTone = true;
  s.fit = false;
  s.keepMetadata = false;
  s.livePreview = false;
  s.keepShape = true;
  s.recentFiles = {"/p/d.jpg", "/p/c.png", "/p/b.gif", "/p/a.bmp"};
  const std::string path = (dir / "Vorlino.ini").string();
  ASSERT_TRUE(saveSettingsFile(path, s).ok());

  // Keys appear in the table's order.
  const std::string text = readFileText(path);
  std::size_t last = 0;
  for (const SettingKey& k : kSettingKeys) {
    const std::size_t at = text.find("\n" + std::string(k.key) + "=");
    ASSERT_NE(at, std::string::npos) << k.key;
    EXPECT_GT(at, last) << k.key;
    last = at;
  }
  EXPECT_NE(text.find("Couleur=#12ABEF\n"), std::string::npos);

  Settings back;
  loadSettingsFile(path, back);
  EXPECT_EQ(back.openFolder, s.openFolder);
  EXPECT_EQ(back.saveFolder, s.saveFolder);
  EXPECT_EQ(back.maximized, true);
  EXPECT_EQ(back.preview, true);
  EXPECT_EQ(back.maskPath, s.maskPath);
  EXPECT_EQ(back.colour, s.colour);
  EXPECT_EQ(back.negative, true);
  EXPECT_EQ(back.angle, 270);
  EXPECT_EQ(back.format, 1);
  EXPECT_EQ(back.soften, true);
  EXPECT_EQ(back.twoTone, true);
  EXPECT_EQ(back.fit, false);
  EXPECT_EQ(back.keepMetadata, false);
  EXPECT_EQ(back.livePreview, false);
  EXPECT_EQ(back.keepShape, true);
  EXPECT_EQ(back.recentFiles, s.recentFiles);
  EXPECT_EQ(maskReplaySteps(back),
            (std::vector<MaskReplayStep>{MaskReplayStep::rpLoadMask, MaskReplayStep::rpInvert,
                                         MaskReplayStep::rpRotateQuarterBack}));
}

TEST(Settings, ReadingRulesForUnusableValues) {
  ScratchFolder dir("vorlino-settings");
  const IniFile f = parsed("[Params]\nOuvrir=" + (dir / "gone").string() +
                           "\nEnregistrer=ERR!\nAgrandir=oui\n"
                           "Masque=" +
                           (dir / "gone.bmp").string() +
                           "\nCouleur=vert\nNegatif=1\nAngle=45\n"
                           "Format=2\nAdoucir=true\nAjuster=ERR!\n");
  Settings s;
  s.openFolder = "/start/";
  s.colour = rgb(1, 2, 3);
  loadSettings(f, s);
  EXPECT_EQ(s.openFolder, "/start/");  // the folder does not exist
  EXPECT_EQ(s.saveFolder, "");         // "ERR!" counts as missing
  EXPECT_FALSE(s.maximized);           // only "1" is true
  EXPECT_EQ(s.maskPath, "");           // the file does not exist
  EXPECT_EQ(s.colour, rgb(1, 2, 3));   // unreadable colour text keeps the colour
  EXPECT_EQ(s.angle, 0);               // 45 is not a quarter turn
  EXPECT_EQ(s.format, 0);
  EXPECT_FALSE(s.soften);
  EXPECT_TRUE(s.fit);  // "ERR!" fits
  // Without a mask nothing is replayed, whatever the flags say.
  EXPECT_TRUE(maskReplaySteps(s).empty());

  Settings repeat;
  loadSettings(parsed("[Params]\nAjuster=0\n"), repeat);
  EXPECT_FALSE(repeat.fit);
  Settings other;
  loadSettings(parsed("[Params]\nAjuster=2\n"), other);
  EXPECT_TRUE(other.fit);
}

TEST(Settings, AngleAndNegativeReplayOrder) {
  Settings s;
  s.maskPath = "/m.bmp";
  s.angle = 90;
  EXPECT_EQ(maskReplaySteps(s), (std::vector<MaskReplayStep>{MaskReplayStep::rpLoadMask,
                                                             MaskReplayStep::rpRotateQuarter}));
  s.negative = true;
  s.angle = 180;
  EXPECT_EQ(maskReplaySteps(s),
            (std::vector<MaskReplayStep>{MaskReplayStep::rpLoadMask, MaskReplayStep::rpInvert,
                                         MaskReplayStep::rpRotateHalf}));
}

TEST(Settings, RecentFilesSkipEmptyKeysAndKeepLaterKeys) {
  Settings s;
  loadSettings(parsed("[Fichiers]\nFichier1=/a\nFichier2=\nFichier3=/c\nFichier4=ERR!\n"), s);
  EXPECT_EQ(s.recentFiles, (std::vector<std::string>{"/a", "/c"}));

  IniFile f = parsed("[Fichiers]\nFichier1=/old1\nFichier2=/old2\nFichier3=/old3\n");
  Settings two;
  two.recentFiles = {"/new1", "/new2"};
  saveSettings(f, two);
  EXPECT_EQ(f.readString("Fichiers", "Fichier1", ""), "/new1");
  EXPECT_EQ(f.readString("Fichiers", "Fichier2", ""), "/new2");
  EXPECT_EQ(f.readString("Fichiers", "Fichier3", ""), "/old3");
}

TEST(Settings, UnstorableNamesAreWrittenEmpty) {
  IniFile f;
  Settings s;
  s.maskPath = "/m/a\nb.bmp";
  s.recentFiles = {"/p/x\ny.jpg", "/p/z.jpg"};
  saveSettings(f, s);
  EXPECT_EQ(f.readString("Params", "Masque", "ERR!"), "");
  EXPECT_EQ(f.readString("Params", "Angle", "ERR!"), "0");  // the keys after it are written
  Settings back;
  loadSettings(parsed(f.text()), back);
  EXPECT_EQ(back.recentFiles, (std::vector<std::string>{"/p/z.jpg"}));
}

// ---- colour text --------------------------------------------------------------------------------

TEST(ColourText, WritesUpperCaseRedGreenBlue) {
  EXPECT_EQ(ColourToText(kWhite), "#FFFFFF");
  EXPECT_EQ(ColourToText(rgb(255, 0, 0)), "#FF0000");
  EXPECT_EQ(ColourToText(rgb(0x0A, 0xB0, 0x0C)), "#0AB00C");
  // Symbolic colours keep their meaning through a name.
  EXPECT_EQ(ColourToText(systemColor(15)), "clBtnFace");
  EXPECT_EQ(ColourToText(kNoColor), "clNone");
  for (Color c : {systemColor(0), systemColor(30), kNoColor, Color(0x20000000), rgb(1, 2, 3)})
    EXPECT_EQ(TextToColour(ColourToText(c), kBlack), c);
}

TEST(ColourText, ReadsHexWithOrWithoutPrefix) {
  const Color keep = rgb(9, 9, 9);
  EXPECT_EQ(TextToColour("#00FF80", keep), rgb(0, 255, 128));
  EXPECT_EQ(TextToColour("00FF80", keep), rgb(0, 255, 128));
  EXPECT_EQ(TextToColour("$00ff80", keep), rgb(0, 255, 128));
  EXPECT_EQ(TextToColour("#0FF80", keep), keep);   // five digits
  EXPECT_EQ(TextToColour("#00GG80", keep), keep);  // not hexadecimal
  EXPECT_EQ(TextToColour("#-0FF80", keep), keep);
  EXPECT_EQ(TextToColour("# 00FF80", keep), keep);  // seven characters after "#"
  EXPECT_EQ(TextToColour("##00FF80", keep), keep);  // one prefix only
  EXPECT_EQ(TextToColour("", keep), keep);
  EXPECT_EQ(TextToColour("ERR!", keep), keep);
}

TEST(ColourText, ReadsNamesOfTheStandardTable) {
  EXPECT_EQ(TextToColour("clWhite", kBlack), kWhite);
  EXPECT_EQ(TextToColour("CLRED", kBlack), rgb(255, 0, 0));
  EXPECT_EQ(TextToColour("clNavy", kBlack), rgb(0, 0, 128));
  EXPECT_EQ(TextToColour("clSkyBlue", kBlack), rgb(0xA6, 0xCA, 0xF0));
  EXPECT_EQ(TextToColour("clScrollBar", kBlack), systemColor(0));
  EXPECT_EQ(TextToColour("clMenuBar", kBlack), systemColor(30));
  EXPECT_EQ(TextToColour("clNone", kBlack), kNoColor);
  EXPECT_EQ(TextToColour("clWhiter", kBlack), kBlack);
}

// ---- recent files -------------------------------------------------------------------------------

TEST(RecentFiles, FifthFileDropsOldestAndCaseInsensitiveMatchMoves) {
  std::vector<std::string> list;
  for (const char* name : {"/p/1.jpg", "/p/2.jpg", "/p/3.jpg", "/p/4.jpg", "/p/5.jpg"})
    AddRecentFile(list, name);
  EXPECT_EQ(list, (std::vector<std::string>{"/p/5.jpg", "/p/4.jpg", "/p/3.jpg", "/p/2.jpg"}));
  AddRecentFile(list, "/p/3.jpg");  // entry 3 to the front, 1 and 2 shift down
  EXPECT_EQ(list, (std::vector<std::string>{"/p/3.jpg", "/p/5.jpg", "/p/4.jpg", "/p/2.jpg"}));
  AddRecentFile(list, "/P/2.JPG");  // moved with its old spelling, not added
  EXPECT_EQ(list, (std::vector<std::string>{"/p/2.jpg", "/p/3.jpg", "/p/5.jpg", "/p/4.jpg"}));
  AddRecentFile(list, "/p/2.jpg");
  EXPECT_EQ(list.front(), "/p/2.jpg");
  EXPECT_EQ(list.size(), 4u);
}

TEST(RecentFiles, AccentedLettersCompareWithoutCase) {
  EXPECT_TRUE(sameFileNameIgnoringCase("/Été/Vacances.JPG", "/été/vacances.jpg"));
  EXPECT_FALSE(sameFileNameIgnoringCase("/été/a.jpg", "/ete/a.jpg"));
  EXPECT_FALSE(sameFileNameIgnoringCase("/a.jpg", "/a.jpgx"));
  EXPECT_FALSE(sameFileNameIgnoringCase("\xC3\x97", "\xC3\xB7"));  // × and ÷ are not a pair
}

// ---- where things live --------------------------------------------------------------------------

TEST(AppPaths, SettingsBesideAWritableProgramElseInTheConfigFolder) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directory(dir / "bin");
  const std::string bin = (dir / "bin").string() + "/";
  EXPECT_EQ(settingsPathFor(bin, "/xdg", "/home/u"), bin + "Vorlino.ini");

  // A program folder that cannot be written (here: one that does not exist).
  const std::string absent = (dir / "absent").string() + "/";
  EXPECT_EQ(settingsPathFor(absent, "/xdg", "/home/u"), "/xdg/Vorlino/Vorlino.ini");
  EXPECT_EQ(settingsPathFor(absent, "", "/home/u"), "/home/u/.config/Vorlino/Vorlino.ini");
  EXPECT_EQ(settingsPathFor(absent, "relative/cfg", "/home/u"),
            "/home/u/.config/Vorlino/Vorlino.ini");

  if (::geteuid() != 0) {
    fs::create_directory(dir / "ro");
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string ro = (dir / "ro").string() + "/";
    EXPECT_EQ(settingsPathFor(ro, "/xdg", "/h"), "/xdg/Vorlino/Vorlino.ini");
    fs::permissions(dir / "ro", fs::perms::owner_all);
  }
}

TEST(AppPaths, InstalledProgramKeepsItsSettingsInTheConfigFolderEvenWhenItsFolderIsWritable) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directories(dir / "prefix/bin");
  fs::create_directories(dir / "prefix/share/vorlino/Masques");
  const std::string bin = (dir / "prefix/bin").string() + "/";
  EXPECT_EQ(settingsPathFor(bin, "/xdg", "/h"), "/xdg/Vorlino/Vorlino.ini");
  // A file the user put there still wins.
  writeFileText(dir / "prefix/bin/Vorlino.ini", "[Params]\n");
  EXPECT_EQ(settingsPathFor(bin, "/xdg", "/h"), bin + "Vorlino.ini");
}

TEST(AppPaths, ExistingSettingsFileBesideTheProgramWins) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directory(dir / "bin");
  writeFileText(dir / "bin/Vorlino.ini", "[Params]\n");
  const std::string bin = (dir / "bin").string();  // no trailing separator
  EXPECT_EQ(settingsPathFor(bin, "/xdg", "/h"), bin + "/Vorlino.ini");
  if (::geteuid() != 0) {
    fs::permissions(dir / "bin", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(settingsPathFor(bin, "/xdg", "/h"), bin + "/Vorlino.ini");
    fs::permissions(dir / "bin", fs::perms::owner_all);
  }
}

TEST(AppPaths, MasksBesideTheProgramThenInstalledThenProgramFolder) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directories(dir / "prefix/bin");
  fs::create_directories(dir / "prefix/share/vorlino/Masques");
  const std::string bin = (dir / "prefix/bin").string() + "/";
  const std::string data = installedDataDir(bin);
  EXPECT_EQ(data, (dir / "prefix/share/vorlino").string() + "/");
  EXPECT_EQ(masksFolder(bin, data), data + "Masques/");
  fs::create_directory(dir / "prefix/bin/Masques");
  EXPECT_EQ(masksFolder(bin, data), bin + "Masques/");
  fs::remove(dir / "prefix/bin/Masques");
  fs::remove(dir / "prefix/share/vorlino/Masques");
  EXPECT_EQ(masksFolder(bin, data), bin);
}

TEST(AppPaths, UserGuideInstalledOrInTheSourceTree) {
  ScratchFolder dir("vorlino-settings");
  fs::create_directories(dir / "prefix/bin");
  const std::string bin = (dir / "prefix/bin").string() + "/";
  EXPECT_EQ(userGuidePath(bin), "");
  fs::create_directories(dir / "docs");
  writeFileText(dir / "docs/guide.html", "<html>");
  EXPECT_EQ(userGuidePath(bin), (dir / "docs/guide.html").string());
  fs::create_directories(dir / "prefix/share/doc/vorlino");
  writeFileText(dir / "prefix/share/doc/vorlino/guide.html", "<html>");
  EXPECT_EQ(userGuidePath(bin), (dir / "prefix/share/doc/vorlino/guide.html").string());
}

}  // namespace
}  // namespace vorlino
