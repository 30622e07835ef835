#include "temp_program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/app_paths.h"
#include "storage/charset.h"

namespace fs = std::filesystem;

std::string MakeTempFolder(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
  return std::string(buffer.data());
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << bytes;
}

TempProgramFolder::TempProgramFolder() : TempProgramFolder(Options{}) {}

TempProgramFolder::TempProgramFolder(const Options& options) : path_(MakeTempFolder("velkor-prog")) {
  if (options.withIni) {
    const std::string bytes =
        options.encoding == IniEncoding::Gbk ? ToGbk(options.iniText) : options.iniText;
    WriteFile("sysinfo.ini", bytes);
  }
  if (options.withExportFolder) fs::create_directory(File("临时文件"));
  if (options.setGlobals) SetAppFolder(path_);
}

TempProgramFolder::~TempProgramFolder() {
  std::error_code ec;
  // Restore write permission first, so a test that made something read-only still cleans up.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string TempProgramFolder::File(const std::string& name) const { return path_ + "/" + name; }

void TempProgramFolder::WriteFile(const std::string& name, const std::string& bytes) const {
  WriteWholeFile(File(name), bytes);
}

std::string TempProgramFolder::ReadFile(const std::string& name) const { return ReadWholeFile(File(name)); }

bool TempProgramFolder::Exists(const std::string& name) const {
  std::error_code ec;
  return fs::exists(File(name), ec);
}
