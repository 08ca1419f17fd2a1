#pragma once
// Where the program's files are, beside the program or where Linux expects
// them when the program is installed in a folder the user cannot write:
//   - fractal.log beside the program when its folder is writable, else
//     $XDG_STATE_HOME/quorex/fractal.log ($XDG_STATE_HOME defaults to
//     ~/.local/state);
//   - fractal.ini beside the program, else $XDG_CONFIG_HOME/quorex/fractal.ini
//     ($XDG_CONFIG_HOME defaults to ~/.config);
//   - data files (gfxdata.dat) beside the program, else in the installation's
//     data folder (<prefix>/share/quorex/ seen from <prefix>/bin/).
// The choices take the program's folder (with its trailing separator) as a
// parameter so that tests can point them anywhere.
#include <string>

/// The per-user state folder: $XDG_STATE_HOME when absolute, else
/// $HOME/.local/state (the password database's home when HOME is unset);
/// empty when no home is known. No trailing separator.
std::string StateHome();
/// The per-user configuration folder, as the settings store uses it.
std::string ConfigHome();

/// True when files can be created in the folder.
bool FolderWritable(const std::string& folder);

/// The log file: beside the program when programFolderWritable, else in
/// StateHome()/quorex/, which is created (mode 0700) when missing. Beside
/// the program as well when no state folder is known.
std::string LogFileLocation(const std::string& programFolder, bool programFolderWritable);
/// For this program.
std::string LogFileLocation();

/// The ini file: beside the program when it is there, else the one in
/// ConfigHome()/quorex/ when that exists; otherwise the path beside the
/// program (which does not exist).
std::string IniFileLocation(const std::string& programFolder);
std::string IniFileLocation();

/// A data file that ships with the program (gfxdata.dat): beside the
/// program when it is there, else in the installation's data folder when it
/// is there; otherwise the path beside the program, so that a report of the
/// missing file names where it is expected.
std::string DataFilePath(const std::string& programFolder, const std::string& name);
std::string DataFilePath(const std::string& name);
