#pragma once
// A small Wine-prefix-like tree for the charting-program tests:
//   <prefix>/dosdevices/c: -> ../drive_c
//   <prefix>/drive_c/new_tdx/TdxW.exe
//   <prefix>/drive_c/new_tdx/T0002/blocknew/
// so that the setting "C:\new_tdx\TdxW.exe" resolves with WINEPREFIX = Prefix() to
// ChartFolder(). Removed, with everything in it, when the object goes.

#include <string>

class ChartFolderBuilder {
 public:
  struct Options {
    bool withT0002 = true;
    bool withBlockNew = true;  // needs withT0002
  };
  static constexpr const char* kTdxDir = "C:\\new_tdx\\TdxW.exe";

  ChartFolderBuilder();
  explicit ChartFolderBuilder(const Options& options);
  ~ChartFolderBuilder();
  ChartFolderBuilder(const ChartFolderBuilder&) = delete;
  ChartFolderBuilder& operator=(const ChartFolderBuilder&) = delete;

  const std::string& Prefix() const { return prefix_; }
  std::string ChartFolder() const { return prefix_ + "/drive_c/new_tdx"; }
  // The executable as a Linux path (a TDX_DIR value that needs no prefix).
  std::string LinuxTdxDir() const { return ChartFolder() + "/TdxW.exe"; }
  // ChartFolder() + "/" + relative.
  std::string Path(const std::string& relative) const;
  void MakeFolder(const std::string& relative) const;  // with its parents
  void Write(const std::string& relative, const std::string& bytes) const;
  std::string Read(const std::string& relative) const;  // "" when missing
  bool Exists(const std::string& relative) const;
  // Clears (true) or restores (false) every write bit of the file or folder.
  void SetReadOnly(const std::string& relative, bool readOnly) const;
  // Adds dosdevices/<drive> -> target.
  void LinkDrive(const std::string& drive, const std::string& target) const;

 private:
  std::string root_;
  std::string prefix_;
};
