#include "chart_folder_builder.h"

#include <filesystem>

#include "temp_program_folder.h"

namespace fs = std::filesystem;

ChartFolderBuilder::ChartFolderBuilder() : ChartFolderBuilder(Options{}) {}

ChartFolderBuilder::ChartFolderBuilder(const Options& options)
    : root_(MakeTempFolder("velkor-wine")), prefix_(root_ + "/prefix") {
  fs::create_directories(prefix_ + "/dosdevices");
  fs::create_directories(ChartFolder());
  LinkDrive("c:", "../drive_c");
  Write("TdxW.exe", "MZ");
  if (options.withT0002) MakeFolder("T0002");
  if (options.withT0002 && options.withBlockNew) MakeFolder("T0002/blocknew");
}

ChartFolderBuilder::~ChartFolderBuilder() {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root_, ec);
}

std::string ChartFolderBuilder::Path(const std::string& relative) const { return ChartFolder() + "/" + relative; }

void ChartFolderBuilder::MakeFolder(const std::string& relative) const { fs::create_directories(Path(relative)); }

void ChartFolderBuilder::Write(const std::string& relative, const std::string& bytes) const {
  WriteWholeFile(Path(relative), bytes);
}

std::string ChartFolderBuilder::Read(const std::string& relative) const { return ReadWholeFile(Path(relative)); }

bool ChartFolderBuilder::Exists(const std::string& relative) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(Path(relative), ec));
}

void ChartFolderBuilder::SetReadOnly(const std::string& relative, bool readOnly) const {
  const fs::perms writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(Path(relative), readOnly ? writeBits : fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

void ChartFolderBuilder::LinkDrive(const std::string& drive, const std::string& target) const {
  fs::create_symlink(target, prefix_ + "/dosdevices/" + drive);
}
