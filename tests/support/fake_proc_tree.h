#pragma once
// A /proc-like tree in a temporary folder: one folder per process with "cmdline",
// "comm" and an "exe" link, as the process finder reads them. Removed when the
// object goes.

#include <cstdint>
#include <initializer_list>
#include <string>

class FakeProcTree {
 public:
  FakeProcTree();
  ~FakeProcTree();
  FakeProcTree(const FakeProcTree&) = delete;
  FakeProcTree& operator=(const FakeProcTree&) = delete;

  const std::string& Root() const { return root_; }

  // `cmdline` as the kernel gives it (use Argv); `comm` without its "\n" ("" = no
  // comm file); `exeTarget` the exe link's target ("" = no link; it may dangle).
  void AddProcess(std::uint32_t pid, const std::string& cmdline, const std::string& comm = "",
                  const std::string& exeTarget = "") const;
  // A folder that is no process ("self", "sys", "12abc").
  void AddOtherEntry(const std::string& name) const;

  // The arguments joined the kernel's way, each ended by a NUL.
  static std::string Argv(std::initializer_list<std::string> args);

 private:
  std::string root_;
};
