#include "app/startup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/settings.h"
#include "platform/app_paths.h"
#include "platform/debug_log.h"
#include "platform/internet_session.h"
#include "platform/message_box.h"
#include "storage/ado_database.h"
#include "storage/ini_file.h"
#include "storage/schema.h"

namespace fs = std::filesystem;

bool PrepareDataFolder(const std::string& folder) {
  SetAppFolder(folder);
  std::error_code ec;
  if (!fs::is_directory(g_szAppFolderSlash, ec)) return false;
  LoadSettings(g_szAppFolder);
  const fs::path exportFolder = AppPath(kExportFolder);
  if (!fs::is_directory(exportFolder, ec)) {
    fs::create_directory(exportFolder, ec);
    if (ec) AppendDebugLog("cannot create %s: %s", exportFolder.c_str(), ec.message().c_str());
  }
  return true;
}

bool OpenDatabaseWithSchema(CADODataBase& db, const std::string& path, bool (*ensureSchema)(CADODataBase&)) {
  std::error_code ec;
  if (!fs::exists(path, ec) && !CreateDatabaseFile(path)) return false;
  if (!db.Open("Data Source=" + path + ";", "", "")) return false;
  if (!ensureSchema(db)) {
    db.Close();
    return false;
  }
  return true;
}

namespace {

int OpenOne(CADODataBase& db, const char* fileName, bool (*ensureSchema)(CADODataBase&)) {
  if (OpenDatabaseWithSchema(db, AppPath(fileName), ensureSchema)) return 0;
  AppendDebugLog("%s: %s", fileName, db.GetLastErrorText().c_str());
  MessageBox(std::string("打开数据库") + fileName + "错误", g_strWindowTitle, MB_OK | MB_ICONERROR);
  return -1;
}

}  // namespace

int OpenCjhbDatabase() { return OpenOne(g_ADODatabase, kMarketDatabaseFile, &EnsureMarketSchema); }

int OpenCustomDatabase() { return OpenOne(g_ADODatabase_Custom, kUserDatabaseFile, &EnsureUserSchema); }

bool WriteIsExit(int value) {
  const std::string path = AppPath(kSettingsFileName);
  const bool ok = WritePrivateProfileString("system", "IsExit", std::to_string(value), path);
  if (!ok) AppendDebugLog("cannot write IsExit=%d to %s", value, path.c_str());
  g_Settings.IsExit = static_cast<std::uint8_t>(value);
  return ok;
}

namespace {

int g_closeSignalPipe[2] = {-1, -1};

// Only what is safe in a handler: one byte into the pipe, errno kept.
void OnCloseSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(g_closeSignalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

void InstallProcessSignalHandling() {
  std::signal(SIGPIPE, SIG_IGN);
  InternetGlobalInit();  // before any worker thread exists
  if (g_closeSignalPipe[0] >= 0) return;
  if (pipe2(g_closeSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    AppendDebugLog("no pipe for SIGTERM and SIGINT: %s", std::strerror(errno));
    g_closeSignalPipe[0] = g_closeSignalPipe[1] = -1;
    return;
  }
  struct sigaction action {};
  action.sa_handler = &OnCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int CloseSignalFd() { return g_closeSignalPipe[0]; }
