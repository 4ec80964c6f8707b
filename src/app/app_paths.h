#pragma once
// Where the program keeps its files: the settings file, the folder of stored pictures and the
// default transmit picture.
#include <functional>
#include <optional>
#include <string>

struct AppPaths {
  std::string settingsFile;    // .../pelimo.ini
  std::string dataFolder;      // holds AutoSave/ and TxImage.bmp
  std::string autoSaveFolder;  // dataFolder/AutoSave
  std::string defaultTxImage;  // dataFolder/TxImage.bmp
};

// Looks up an environment variable; nothing when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const std::string&)>;

// The process environment (getenv).
std::optional<std::string> systemEnv(const std::string& name);

// Chooses the folders, first rule that applies:
//  1. `homeOption` (the --home DIR option; an empty DIR counts as not given): everything in
//     DIR (DIR/pelimo.ini, DIR/AutoSave, DIR/TxImage.bmp).
//  2. A pelimo.ini beside the executable (a portable install): everything in that folder.
//  3. Otherwise the settings in $XDG_CONFIG_HOME/pelimo/pelimo.ini (default ~/.config) and the
//     data in $XDG_DATA_HOME/pelimo (default ~/.local/share). As the XDG convention asks, an
//     unset, empty or relative variable (also HOME) is ignored. Where neither the XDG variable
//     nor HOME is usable, that part lives beside the executable, as in rule 2 (or in the
//     current folder when the executable's path is unknown).
// Folder names carry no trailing separator.
AppPaths resolveAppPaths(const std::string& executablePath,
                         const std::optional<std::string>& homeOption, const EnvLookup& env);

// The --home option as the programs use it, checked at start: a relative DIR is made absolute
// (against the current folder), so that every path shown or kept names the same place. Empty
// `problem` on success; a one-line message when DIR exists but is not a folder. A DIR that
// does not exist is accepted: its folders are made when a file is first written there.
std::optional<std::string> absoluteHomeOption(const std::optional<std::string>& homeOption,
                                              std::string& problem);

// The absolute path of the running executable (from /proc/self/exe); empty if unknown.
std::string executablePath();
