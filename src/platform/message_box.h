#pragma once
// Message boxes and file/folder pickers go through one seam. The program calls
// MessageBox(); the Qt layer installs a backend that shows a real dialog; tests put
// the hook into recording mode so that no real modal ever appears.

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Button sets and icons (the values the program's callers combine).
constexpr unsigned MB_OK = 0x00000000u;
constexpr unsigned MB_OKCANCEL = 0x00000001u;
constexpr unsigned MB_YESNOCANCEL = 0x00000003u;
constexpr unsigned MB_YESNO = 0x00000004u;
constexpr unsigned MB_ICONERROR = 0x00000010u;
constexpr unsigned MB_ICONQUESTION = 0x00000020u;
constexpr unsigned MB_ICONWARNING = 0x00000030u;
constexpr unsigned MB_ICONINFORMATION = 0x00000040u;
constexpr unsigned MB_TYPEMASK = 0x0000000Fu;
constexpr unsigned MB_ICONMASK = 0x000000F0u;

// Answers.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

struct RecordedMessageBox {
  std::string text;
  std::string caption;
  unsigned icon = 0;     // style & MB_ICONMASK
  unsigned buttons = 0;  // style & MB_TYPEMASK
};

// What actually shows a box or a picker; the Qt layer provides one.
class IDialogBackend {
 public:
  virtual ~IDialogBackend() = default;
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
  // Empty result = the user cancelled.
  virtual std::optional<std::string> PickOpenFile(const std::string& title, const std::string& startDir,
                                                  const std::string& filter) = 0;
  virtual std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir) = 0;
};

// The test seam. While recording, every box is recorded and answered from the queue
// of chosen answers (IDOK when the queue is empty, IDYES for a yes/no box), and the
// pickers answer from their own queues (cancel when empty).
class MessageBoxHook {
 public:
  static MessageBoxHook& Instance();

  void StartRecording();
  void StopRecording();
  bool IsRecording() const;

  void SetNextAnswer(int answer);
  void SetNextFileName(std::optional<std::string> path);
  void SetNextFolder(std::optional<std::string> path);

  std::vector<RecordedMessageBox> Recorded() const;
  // Returns the recorded boxes and forgets them.
  std::vector<RecordedMessageBox> TakeRecorded();
  int PickerCalls() const;
  void Clear();

  // Used by MessageBox() and the pickers below.
  std::optional<int> Intercept(const std::string& text, const std::string& caption, unsigned style);
  std::optional<std::optional<std::string>> InterceptOpenFile();
  std::optional<std::optional<std::string>> InterceptFolder();

 private:
  mutable std::mutex mutex_;
  bool recording_ = false;
  std::deque<int> answers_;
  std::deque<std::optional<std::string>> files_;
  std::deque<std::optional<std::string>> folders_;
  std::vector<RecordedMessageBox> recorded_;
  int pickerCalls_ = 0;
};

void SetDialogBackend(IDialogBackend* backend);

// Shows a box (or records it) and returns the answer. Without a hook or backend the
// text goes to stderr and the default answer (IDOK, or IDYES for a question) comes back.
int MessageBox(const std::string& text, const std::string& caption = "", unsigned style = MB_OK);
// What the box's close box answers: IDNO for a yes/no question, IDCANCEL where the box
// has 取消, else IDOK. Never a "yes".
int EscapeAnswer(unsigned style);
std::optional<std::string> PickOpenFile(const std::string& title, const std::string& startDir = "",
                                        const std::string& filter = "");
std::optional<std::string> PickFolder(const std::string& title, const std::string& startDir = "");
