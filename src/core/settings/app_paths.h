// Where the program finds its preferences file, its masks and its user guide.
//
// The preferences live beside the program when that works (a copy unpacked into a folder of its
// own keeps everything together), and in the user's configuration folder when the program is
// installed in a folder the user cannot write to. Folder results end with '/'.
#pragma once

#include <string>

namespace vorlino {

inline constexpr const char* kSettingsFileName = "Vorlino.ini";

// programDir + "Vorlino.ini" when that file exists, or when programDir is writable and is not the
// bin folder of an installed copy (one with installedDataDir); otherwise configHome +
// "Vorlino/Vorlino.ini", where configHome is xdgConfigHome when it is an absolute path, else
// home + "/.config". The caller's save creates the "Vorlino" folder when needed.
std::string settingsPathFor(const std::string& programDir, const std::string& xdgConfigHome,
                            const std::string& home);
// settingsPathFor with the environment's XDG_CONFIG_HOME and HOME.
std::string settingsPath(const std::string& programDir);

// The installed data folder of a program in <prefix>/bin: <prefix>/share/vorlino/.
std::string installedDataDir(const std::string& programDir);

// programDir + "Masques/" when that folder exists, else dataDir + "Masques/" when that exists,
// else programDir.
std::string masksFolder(const std::string& programDir, const std::string& dataDir);

// The user guide: <prefix>/share/doc/vorlino/guide.html when installed; otherwise, for a program
// run from its build folder, docs/guide.html in the nearest parent folder that has it. Empty when
// neither exists. fileName names another edition of it ("guide_en.html", the English one).
std::string userGuidePath(const std::string& programDir,
                          const std::string& fileName = "guide.html");

}  // namespace vorlino
