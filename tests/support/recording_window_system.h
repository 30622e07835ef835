#pragma once
// A scripted window system that records every request, and a sleeper that writes
// its waits into the same record, so a test sees input and waits in one order.
//
// Record lines: "open", "close", "list", "restore <id>", "maximise <id>",
// "activate <id>", "pointer", "focus", "button-press 1", "button-release 1",
// "key-press <k>", "key-release <k>" (<k> is the digit, "Return" or the keysym in
// hex), "sleep <ms>".

#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/window_system.h"

class RecordingWindowSystem final : public WindowSystem {
 public:
  // The scripted desktop.
  bool available = true;       // false: Open fails, like a missing display
  bool windowManager = false;
  std::vector<TopWindow> windows;     // top-most first
  std::optional<TopWindow> pointer;   // the window under the pointer
  std::optional<TopWindow> focus;     // the focused window
  bool activationFocuses = true;      // Activate moves the focus to that window
  std::set<WindowId> gone;            // requests on these windows fail
  bool inputFails = false;            // Button and Key fail

  std::vector<std::string> record;

  // Writes "sleep <ms>" into the record.
  ISleeper& Sleeper() { return sleeper_; }

  // The record lines that start with `prefix`.
  std::vector<std::string> Lines(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const std::string& line : record) {
      if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  std::unique_ptr<WindowSession> Open() override {
    record.push_back("open");
    if (!available) return nullptr;
    return std::make_unique<Session>(*this);
  }

  static std::string KeyName(unsigned long keysym) {
    if (keysym >= kKeysym0 && keysym <= kKeysym0 + 9) return std::string(1, static_cast<char>('0' + (keysym - kKeysym0)));
    if (keysym == kKeysymReturn) return "Return";
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", keysym);
    return text;
  }

 private:
  class RecordingSleeper final : public ISleeper {
   public:
    explicit RecordingSleeper(RecordingWindowSystem& owner) : owner_(owner) {}
    void Sleep(int milliseconds) override { owner_.record.push_back("sleep " + std::to_string(milliseconds)); }

   private:
    RecordingWindowSystem& owner_;
  };

  class Session final : public WindowSession {
   public:
    explicit Session(RecordingWindowSystem& owner) : owner_(owner) {}
    ~Session() override { owner_.record.push_back("close"); }

    bool HasWindowManager() const override { return owner_.windowManager; }
    bool ListTopWindows(std::vector<TopWindow>& windows) override {
      owner_.record.push_back("list");
      windows = owner_.windows;
      return true;
    }
    bool Activate(WindowId window) override {
      owner_.record.push_back("activate " + std::to_string(window));
      if (owner_.gone.count(window) != 0) return false;
      if (owner_.activationFocuses) {
        for (const TopWindow& w : owner_.windows) {
          if (w.id == window) owner_.focus = w;
        }
      }
      return true;
    }
    bool Restore(WindowId window) override {
      owner_.record.push_back("restore " + std::to_string(window));
      return owner_.gone.count(window) == 0;
    }
    bool Maximise(WindowId window) override {
      owner_.record.push_back("maximise " + std::to_string(window));
      return owner_.gone.count(window) == 0;
    }
    std::optional<TopWindow> WindowUnderPointer() override {
      owner_.record.push_back("pointer");
      return owner_.pointer;
    }
    std::optional<TopWindow> FocusedWindow() override {
      owner_.record.push_back("focus");
      return owner_.focus;
    }
    bool Button(int button, bool press) override {
      owner_.record.push_back(std::string(press ? "button-press " : "button-release ") + std::to_string(button));
      return !owner_.inputFails;
    }
    bool Key(unsigned long keysym, bool press) override {
      owner_.record.push_back(std::string(press ? "key-press " : "key-release ") + KeyName(keysym));
      return !owner_.inputFails;
    }

   private:
    RecordingWindowSystem& owner_;
  };

  RecordingSleeper sleeper_{*this};
};
