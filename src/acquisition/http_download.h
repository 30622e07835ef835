#pragma once
// Downloads one http URL into one local file on a thread of its own, over CHttpSocket:
// follows up to 10 redirects (relative ones too), resumes from the bytes it already
// holds with a range request, writes the body in blocks (by Content-Length, chunked, or
// up to the close), and can be paused, resumed and stopped from the user-interface
// thread. Failures are not reported: a failed connect, a status outside 200-299 or a
// file that cannot be opened ends the worker without writing.
//
// The worker never touches a widget. The owner sets the URL and the local path before
// Start(); the downloaded count is never reset, so a second Start() resumes.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "acquisition/http_socket.h"

class CHttpDownload {
 public:
  enum class State { Idle, Running, Paused };

  // "http://host[:port]/path" split into its parts; false for another scheme or a
  // malformed address.
  struct Url {
    std::string host;
    int port = 80;
    std::string path = "/";  // with the query, without a fragment
  };
  static bool ParseUrl(const std::string& url, Url& out);
  // `location` (absolute, scheme-relative, host-relative or path-relative) against `base`.
  static std::string ResolveLocation(const std::string& base, const std::string& location);

  static constexpr int kMaxRedirects = 10;
  static constexpr int kBlockSize = 1024;
  static constexpr int kBodyTimeoutMs = 10000;

  CHttpDownload();
  // Stops a running download and joins its thread.
  virtual ~CHttpDownload();
  CHttpDownload(const CHttpDownload&) = delete;
  CHttpDownload& operator=(const CHttpDownload&) = delete;

  // Starts the worker; false when one is running already.
  bool Start();
  // Pauses a running download between blocks, or lets a paused one go on; nothing
  // when no download runs.
  void SuspendOrResume();
  // Ends a running download: sets the stop flag, shuts the socket down and joins.
  // Nothing when no thread is held.
  void Stop();
  // Milliseconds since the body reading began.
  std::uint32_t GetElapsed() const;
  // "512 b", "2.00 K", "3.00 M", "1.50 G".
  static std::string FormatSize(double bytes);

  State GetState() const { return state_.load(); }
  bool IsRunning() const { return state_.load() != State::Idle; }
  long Downloaded() const { return m_nDownloaded.load(); }
  // The last rate text ("2.00 K/S"); empty until one was measured.
  std::string RateText() const;

  std::string m_strUrl;
  std::string m_strLocalPath;
  CHttpSocket m_HttpSocket;

 private:
  void Run();
  int Download();
  void ReceiveToFile(long status);
  // Waits while paused; false when the download is to stop.
  bool WaitWhilePaused();
  bool StopRequested() const { return stop_.load(); }
  // Registers the socket's handle so that Stop() can shut it down; false when a stop
  // came first.
  bool WatchSocket();
  void UnwatchSocket();
  void CloseConnection();
  bool WriteAll(int fd, const char* data, long size);

  std::thread thread_;
  std::atomic<State> state_{State::Idle};
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> m_dwStartTick{0};
  std::atomic<long> m_nDownloaded{0};

  std::mutex pauseMutex_;
  std::condition_variable pauseCv_;
  bool paused_ = false;

  // A duplicate of the live socket's handle, shut down by Stop(); -1 when none.
  std::mutex watchMutex_;
  int watchedFd_ = -1;

  mutable std::mutex rateMutex_;
  std::string rateText_;

  int fileFd_ = -1;  // worker thread only
};
