#pragma once
// Where the program's files are. One folder per kind, as Linux expects:
//   - the settings store and fractal.ini in $XDG_CONFIG_HOME/quorex/
//     ($XDG_CONFIG_HOME defaults to ~/.config);
//   - fractal.log in $XDG_STATE_HOME/quorex/ ($XDG_STATE_HOME defaults to
//     ~/.local/state);
//   - data files (gfxdata.dat) in the installation's data folder
//     (<prefix>/share/quorex/ seen from <prefix>/bin/).
// A program that is not installed (a build tree, a copied folder) keeps its
// log and reads its ini beside itself, as the saver always did, and finds its
// data there. The installed layout, a data folder ../share/quorex/ beside
// the program's folder, tells the two apart: an installed program never
// writes into its own folder.
// The choices take the program's folder (with its trailing separator) as a
// parameter so that tests can point them anywhere.
#include <string>

/// The per-user state folder: $XDG_STATE_HOME when absolute, else
/// $HOME/.local/state (the password database's home when HOME is unset);
/// empty when no home is known. No trailing separator.
std::string StateHome();
/// The per-user configuration folder: $XDG_CONFIG_HOME when absolute, else
/// $HOME/.config; empty when no home is known.
std::string ConfigHome();
/// The program's own folders in them: <home>/quorex; empty when no home is known.
std::string StateFolder();
std::string ConfigFolder();

/// Creates the folder with its missing parents, each new one readable only
/// by the user (0700 whatever the umask); folders that exist stay as they
/// are. True when the folder exists at the end.
bool MakePrivateFolders(const std::string& path);

/// True when files can be created in the folder.
bool FolderWritable(const std::string& folder);
/// True when the program's folder is part of an installation: the data
/// folder ../share/quorex/ lies beside it.
bool InstalledLayout(const std::string& programFolder);

/// The log file: beside the program when its folder is writable and not
/// installed, else StateFolder()/fractal.log (the folder is made when
/// missing). When no state folder can be had: beside a program that is not
/// installed, and none (empty) for an installed one.
std::string LogFileLocation(const std::string& programFolder, bool programFolderWritable);
/// For this program.
std::string LogFileLocation();

/// Where keyframe dumps go: StateFolder()/keyframes, made when missing;
/// empty when no state folder is known or it cannot be made.
std::string KeyframeDumpFolder();

/// The ini file: beside the program when it is there and the program is not
/// installed, else ConfigFolder()/fractal.ini when that exists; otherwise
/// the path where a user would put one (which does not exist).
std::string IniFileLocation(const std::string& programFolder);
std::string IniFileLocation();

/// A data file that ships with the program (gfxdata.dat): beside the
/// program when it is there, else in the installation's data folder when it
/// is there; otherwise the path beside the program, so that a report of the
/// missing file names where it is expected.
std::string DataFilePath(const std::string& programFolder, const std::string& name);
std::string DataFilePath(const std::string& name);
