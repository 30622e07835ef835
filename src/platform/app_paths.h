#pragma once
// The data folder (where the program keeps its files) and path building. Paths are
// UTF-8. Folders are taken as named ("\" is a character of a name); "\" separators
// in the program's own fragments are accepted and become "/".

#include <string>

// The data folder without a trailing "/" (the root folder gives ""), and the same
// folder with one ("/" for the root). Set once at start-up; tests set them too.
extern std::string g_szAppFolder;
extern std::string g_szAppFolderSlash;

// Sets both globals from a folder, taken as named; trailing "/" are dropped, the root
// stays the root ("/" and "" both mean it).
void SetAppFolder(const std::string& folder);
// Sets both globals from an executable's path: the text before its last "/".
// "/x" gives "" and "/"; a bare name without any "/" gives "." and "./".
void SetAppFolderFromExecutable(const std::string& exePath);

// g_szAppFolderSlash + fragment, "\" of the fragment mapped to "/", a leading separator of the
// fragment not doubled: AppPath("\\Custom.mdb") == AppPath("Custom.mdb"). Before
// the folder is set the result is relative to the current folder.
std::string AppPath(const std::string& fragment);
// a + "/" + b, b mapped the same way (a is a folder, taken as named); an empty a stands
// for the root folder.
std::string JoinPath(const std::string& a, const std::string& b);
// The folder that holds folder (taken as named): "/x/Tdx/App" -> "/x/Tdx"; "/x" and
// "/" -> "/"; a bare relative name -> ".".
std::string ParentFolder(const std::string& folder);
// "\" -> "/": for Windows-style fragments.
std::string ToSlashes(std::string path);

// The running executable (/proc/self/exe); "" when it cannot be read.
std::string ExecutablePath();
// The file the install step puts beside an installed copy's bin/ folder: it tells that
// copy apart from the build folder and from a portable copy.
inline constexpr const char* kInstalledMarker = "share/velkordesk/installed";

// The data folder for this run: --data-dir DIR or --data-dir=DIR, else the
// environment variable VELKORDESK_DATA_DIR, else the executable's folder when this user
// may write to it and the copy is not an installed one (no kInstalledMarker under the
// folder above the executable's), else $XDG_DATA_HOME/velkordesk
// (~/.local/share/velkordesk by default), created when missing. The result has no trailing "/" (the root gives "/");
// a relative folder is made absolute. "" when the user's data folder is wanted and
// there is no home folder; `createError` (when given) gets the errno of a failed
// creation of that folder, else 0.
std::string ResolveDataFolder(int argc, char** argv, int* createError = nullptr);

// $XDG_DATA_HOME/velkordesk when that is absolute, else <home>/.local/share/velkordesk,
// the home from $HOME or, when that is unset or empty, from the password database;
// "" without either.
std::string UserDataFolder();
