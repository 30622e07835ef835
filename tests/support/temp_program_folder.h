#pragma once
// A temporary program (data) folder for one test: optional "sysinfo.ini" (as UTF-8 or
// as GBK bytes), optional "临时文件", and the folder globals pointing at it. Removed
// again, with everything in it, when the object goes.

#include <string>

class TempProgramFolder {
 public:
  enum class IniEncoding { Utf8, Gbk };
  struct Options {
    bool withIni = false;
    std::string iniText{};  // UTF-8; converted when encoding is Gbk
    IniEncoding encoding = IniEncoding::Utf8;
    bool withExportFolder = false;
    bool setGlobals = true;
  };

  TempProgramFolder();
  explicit TempProgramFolder(const Options& options);
  ~TempProgramFolder();
  TempProgramFolder(const TempProgramFolder&) = delete;
  TempProgramFolder& operator=(const TempProgramFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const;  // Path() + "/" + name
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;  // "" when missing
  bool Exists(const std::string& name) const;

 private:
  std::string path_;
};

// A fresh empty folder under the system's temporary folder, removed by the caller.
std::string MakeTempFolder(const std::string& prefix = "velkor");
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
