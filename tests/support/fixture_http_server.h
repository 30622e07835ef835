#pragma once
// An HTTP/1.1 server for tests, on 127.0.0.1 and a port the system picks. Each
// connection gets its own thread and one answer, sent with Content-Length and
// "Connection: close". Routes match the raw request target exactly as the client sent
// it (commas and a literal "%20" included); an unknown target gets the default answer
// (404 unless set). Every request is logged before it is answered.
//
// Nothing waits without a bound: delays and held answers end at Stop(), and every
// thread is joined by Stop() and by the destructor.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// One scripted answer. The plain form sends status, headers and body; the other
// fields script the faults a client must survive.
struct FixtureResponse {
  int status = 200;
  std::string body{};
  std::string contentType = "text/html";  // empty: no Content-Type header
  std::vector<std::pair<std::string, std::string>> headers{};  // further header lines

  int notFoundFirst = 0;            // answer 404 this many times, then the answer above
  std::chrono::milliseconds delay{0};  // wait before answering
  bool hold = false;                // wait for Release() (or Stop()) before answering
  bool closeMidBody = false;        // send the head and half the body, then hang up
  long long contentLengthDelta = 0;  // declared length = body size + delta
  bool raw = false;                 // send `body` as the whole answer, bytes as they are
  bool holdOpen = false;            // after the answer, keep the connection open (and counted
                                    // as held) until Release() or Stop()

  static FixtureResponse Ok(std::string body, std::string contentType = "text/html");
  static FixtureResponse Status(int status, std::string body = {});
  static FixtureResponse Redirect(const std::string& location, int status = 302);
  static FixtureResponse Raw(std::string bytes);
  // A 200 answer of `mebibytes` MiB of 'x'.
  static FixtureResponse LargeBody(std::size_t mebibytes);
};

struct FixtureRequest {
  std::string method;
  std::string target;  // raw, as sent
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::steady_clock::time_point time;

  // The first header of that name (case-insensitive); "" when absent.
  std::string Header(const std::string& name) const;
};

class FixtureHttpServer {
 public:
  // Starts listening at once; Port() is 0 when the socket could not be opened.
  FixtureHttpServer();
  ~FixtureHttpServer();
  FixtureHttpServer(const FixtureHttpServer&) = delete;
  FixtureHttpServer& operator=(const FixtureHttpServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string BaseUrl() const;

  // Sets (or replaces) the answer for one raw target; replacing resets its 404 count.
  void Route(const std::string& target, FixtureResponse response);
  void RemoveRoute(const std::string& target);
  void SetDefault(FixtureResponse response);

  // Lets every answer that is held now go on. Later requests to a held route hold again.
  void Release();
  // The number of requests waiting for Release() at this moment.
  int HeldCount() const;
  // Waits up to `bound` until `count` requests are held; true when they are.
  bool WaitForHeld(int count, std::chrono::milliseconds bound) const;

  std::vector<FixtureRequest> Requests() const;
  std::vector<std::string> Targets() const;  // in arrival order
  int CountOf(const std::string& target) const;
  void ClearLog();
  // Waits up to `bound` until at least `count` requests were logged.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds bound) const;

  // Stops listening, ends held and delayed answers, closes every connection and joins
  // every thread. Routes and the log stay.
  void Stop();
  // Stop(), then listen again on the same port. False when the port could not be bound.
  bool Restart();
  bool Running() const { return running_; }

 private:
  struct Route_ {
    FixtureResponse response;
    int served = 0;
  };
  struct Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  bool Listen(int port);
  void AcceptLoop();
  void Serve(Connection* connection);
  bool ReadHead(int fd, std::string& head);
  FixtureResponse Resolve(const std::string& target);
  bool WaitUntilReleased(std::chrono::milliseconds delay, bool hold);
  bool SendAll(int fd, const char* data, std::size_t size);
  void ReapFinished();

  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::thread acceptThread_;

  mutable std::mutex mutex_;  // routes, log, held count, release generation
  mutable std::condition_variable cv_;
  std::map<std::string, Route_> routes_;
  FixtureResponse default_ = FixtureResponse::Status(404, "not found");
  std::vector<FixtureRequest> log_;
  int held_ = 0;
  unsigned long releaseGeneration_ = 0;

  std::mutex connectionsMutex_;
  std::vector<std::unique_ptr<Connection>> connections_;
};
