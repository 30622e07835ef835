#pragma once
// Finding a running program by the file name of its executable.

#include <cstdint>
#include <string>

class ProcessFinder {
 public:
  virtual ~ProcessFinder() = default;
  // The id of the first process (lowest id) whose executable file name equals `name`,
  // whole and ignoring ASCII case; 0 when none does.
  virtual std::uint32_t FindProcessByExeName(const std::string& name) = 0;
};

// Over a /proc tree. A process's name is, in this order of availability:
//  - the last part (after the last '/' or '\') of argv[0] in "cmdline"; under Wine
//    that is the Windows path of the .exe;
//  - else "comm", but only when `name` has at most 15 bytes (the kernel cuts it);
//  - else the last part of the "exe" link's target.
// Processes are scanned in ascending id order; a process that vanishes mid-scan is
// skipped. An unreadable root gives 0.
class ProcProcessFinder final : public ProcessFinder {
 public:
  explicit ProcProcessFinder(std::string procRoot = "/proc");
  std::uint32_t FindProcessByExeName(const std::string& name) override;

  // The name compared for one process folder ("" when none can be read).
  static std::string ProcessName(const std::string& processFolder, std::size_t wantedBytes);

 private:
  std::string procRoot_;
};
