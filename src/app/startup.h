#pragma once
// The start-up and exit steps that need no display: the data folder, the settings,
// the two database files with their schema, and the clean-exit marker.

#include <string>

class CADODataBase;

inline constexpr const char* kMarketDatabaseFile = "CJHB.mdb";
inline constexpr const char* kUserDatabaseFile = "Custom.mdb";
inline constexpr const char* kExportFolder = "临时文件";

// Fixes the program folder globals, loads "sysinfo.ini", creates "临时文件" when it
// is missing. Returns false only when the folder itself cannot be used.
bool PrepareDataFolder(const std::string& folder);

// Open "CJHB.mdb" / "Custom.mdb" of the program folder on the global connections,
// creating a missing file with the schema. 0 = open; -1 after the error box. A file
// that is not a database, has a newer schema or cannot be opened is never touched.
int OpenCjhbDatabase();
int OpenCustomDatabase();

// Opens `path` on `db` and brings its schema up to date (creating a missing file).
// Leaves `db` closed on failure. Used by the two functions above.
bool OpenDatabaseWithSchema(CADODataBase& db, const std::string& path, bool (*ensureSchema)(CADODataBase&));

// Writes IsExit under [system] of "sysinfo.ini" and into g_Settings. A failed write
// goes to the debug log; no box.
bool WriteIsExit(int value);

// Ignores SIGPIPE, so a peer that hangs up never ends the program, and starts the
// internet layer once, before any thread. SIGTERM and SIGINT are caught: each writes
// a byte to a pipe, so the window can take the same road out as its close box.
void InstallProcessSignalHandling();

// The pipe's read end, readable after SIGTERM or SIGINT; -1 when there is none.
int CloseSignalFd();
