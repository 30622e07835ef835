#include "fake_proc_tree.h"

#include <filesystem>

#include "temp_program_folder.h"

namespace fs = std::filesystem;

FakeProcTree::FakeProcTree() : root_(MakeTempFolder("velkor-proc")) {}

FakeProcTree::~FakeProcTree() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void FakeProcTree::AddProcess(std::uint32_t pid, const std::string& cmdline, const std::string& comm,
                              const std::string& exeTarget) const {
  const std::string folder = root_ + "/" + std::to_string(pid);
  fs::create_directories(folder);
  WriteWholeFile(folder + "/cmdline", cmdline);
  if (!comm.empty()) WriteWholeFile(folder + "/comm", comm + "\n");
  if (!exeTarget.empty()) fs::create_symlink(exeTarget, folder + "/exe");
}

void FakeProcTree::AddOtherEntry(const std::string& name) const { fs::create_directories(root_ + "/" + name); }

std::string FakeProcTree::Argv(std::initializer_list<std::string> args) {
  std::string joined;
  for (const std::string& arg : args) {
    joined += arg;
    joined += '\0';
  }
  return joined;
}
