#include "fixture_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string_view>

#include "platform/ascii.h"

namespace {

// Every blocking step polls in slices this long, so Stop() is noticed quickly.
constexpr int kSliceMs = 20;
// A client that sends no complete request head within this time is dropped.
constexpr auto kHeadBound = std::chrono::seconds(10);
// A held answer that nobody releases gives up after this time.
constexpr auto kHoldBound = std::chrono::seconds(60);
constexpr std::size_t kMaxHead = 64 * 1024;

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Parses "METHOD target VERSION" and the header lines; false for a malformed request line.
bool ParseHead(const std::string& head, FixtureRequest& request) {
  std::size_t lineEnd = head.find("\r\n");
  std::string_view line(head.data(), lineEnd == std::string::npos ? head.size() : lineEnd);
  const std::size_t sp1 = line.find(' ');
  if (sp1 == std::string_view::npos) return false;
  const std::size_t sp2 = line.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos) return false;
  request.method = std::string(line.substr(0, sp1));
  request.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
  std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
  while (pos < head.size()) {
    std::size_t end = head.find("\r\n", pos);
    if (end == std::string::npos) end = head.size();
    std::string_view header(head.data() + pos, end - pos);
    const std::size_t colon = header.find(':');
    if (colon != std::string_view::npos) {
      request.headers.emplace_back(std::string(Trim(header.substr(0, colon))),
                                   std::string(Trim(header.substr(colon + 1))));
    }
    pos = end + 2;
  }
  return true;
}

}  // namespace

FixtureResponse FixtureResponse::Ok(std::string body, std::string contentType) {
  FixtureResponse response;
  response.body = std::move(body);
  response.contentType = std::move(contentType);
  return response;
}

FixtureResponse FixtureResponse::Status(int status, std::string body) {
  FixtureResponse response;
  response.status = status;
  response.body = std::move(body);
  return response;
}

FixtureResponse FixtureResponse::Redirect(const std::string& location, int status) {
  FixtureResponse response;
  response.status = status;
  response.headers.emplace_back("Location", location);
  return response;
}

FixtureResponse FixtureResponse::Raw(std::string bytes) {
  FixtureResponse response;
  response.raw = true;
  response.body = std::move(bytes);
  return response;
}

FixtureResponse FixtureResponse::LargeBody(std::size_t mebibytes) {
  return Ok(std::string(mebibytes * 1024 * 1024, 'x'), "application/octet-stream");
}

std::string FixtureRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return value;
  }
  return {};
}

FixtureHttpServer::FixtureHttpServer() { Listen(0); }

FixtureHttpServer::~FixtureHttpServer() { Stop(); }

std::string FixtureHttpServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

bool FixtureHttpServer::Listen(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int yes = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
    ::close(fd);
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  listenFd_ = fd;
  port_ = ntohs(address.sin_port);
  stopping_ = false;
  running_ = true;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void FixtureHttpServer::AcceptLoop() {
  while (!stopping_) {
    pollfd p{listenFd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, kSliceMs);
    ReapFinished();
    if (ready <= 0 || (p.revents & POLLIN) == 0) continue;
    const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    auto connection = std::make_unique<Connection>();
    connection->fd = client;
    Connection* raw = connection.get();
    std::lock_guard lock(connectionsMutex_);
    connection->thread = std::thread([this, raw] { Serve(raw); });
    connections_.push_back(std::move(connection));
  }
}

void FixtureHttpServer::ReapFinished() {
  std::vector<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard lock(connectionsMutex_);
    auto split = std::stable_partition(connections_.begin(), connections_.end(),
                                       [](const auto& c) { return !c->done.load(); });
    std::move(split, connections_.end(), std::back_inserter(finished));
    connections_.erase(split, connections_.end());
  }
  for (auto& connection : finished) connection->thread.join();
}

bool FixtureHttpServer::ReadHead(int fd, std::string& head) {
  const auto deadline = std::chrono::steady_clock::now() + kHeadBound;
  char buffer[4096];
  while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    head.append(buffer, static_cast<std::size_t>(n));
    const std::size_t end = head.find("\r\n\r\n");
    if (end != std::string::npos) {
      head.resize(end);
      return true;
    }
    if (head.size() > kMaxHead) return false;
  }
  return false;
}

FixtureResponse FixtureHttpServer::Resolve(const std::string& target) {
  std::lock_guard lock(mutex_);
  auto it = routes_.find(target);
  if (it == routes_.end()) return default_;
  Route_& route = it->second;
  ++route.served;
  if (route.served <= route.response.notFoundFirst) return FixtureResponse::Status(404, "not found");
  return route.response;
}

// False when the server is stopping, in which case nothing is answered.
bool FixtureHttpServer::WaitUntilReleased(std::chrono::milliseconds delay, bool hold) {
  std::unique_lock lock(mutex_);
  if (delay.count() > 0) {
    cv_.wait_for(lock, delay, [this] { return stopping_.load(); });
  }
  if (hold && !stopping_) {
    const unsigned long generation = releaseGeneration_;
    ++held_;
    cv_.notify_all();
    cv_.wait_for(lock, kHoldBound,
                 [&] { return stopping_.load() || releaseGeneration_ != generation; });
    --held_;
    cv_.notify_all();
  }
  return !stopping_;
}

bool FixtureHttpServer::SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    if (stopping_) return false;
    pollfd p{fd, POLLOUT, 0};
    const int ready = ::poll(&p, 1, kSliceMs);
    if (ready == 0) continue;
    if (ready < 0 || (p.revents & (POLLERR | POLLHUP)) != 0) return false;
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void FixtureHttpServer::Serve(Connection* connection) {
  const int fd = connection->fd;
  std::string head;
  FixtureRequest request;
  if (ReadHead(fd, head) && ParseHead(head, request)) {
    request.time = std::chrono::steady_clock::now();
    const std::string target = request.target;
    {
      std::lock_guard lock(mutex_);
      log_.push_back(std::move(request));
    }
    cv_.notify_all();

    const FixtureResponse response = Resolve(target);
    if (WaitUntilReleased(response.delay, response.hold)) {
      if (response.raw) {
        SendAll(fd, response.body.data(), response.body.size());
      } else {
        const long long declared =
            std::max<long long>(0, static_cast<long long>(response.body.size()) + response.contentLengthDelta);
        std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + ReasonPhrase(response.status) + "\r\n";
        if (!response.contentType.empty()) out += "Content-Type: " + response.contentType + "\r\n";
        out += "Content-Length: " + std::to_string(declared) + "\r\n";
        for (const auto& [key, value] : response.headers) out += key + ": " + value + "\r\n";
        out += "Connection: close\r\n\r\n";
        const std::size_t bodyBytes = response.closeMidBody ? response.body.size() / 2 : response.body.size();
        if (SendAll(fd, out.data(), out.size())) SendAll(fd, response.body.data(), bodyBytes);
      }
      if (response.holdOpen) WaitUntilReleased(std::chrono::milliseconds(0), true);
    }
  }
  // Half-close and let the client read to the end before the socket goes, so the
  // answer is not lost to a reset.
  ::shutdown(fd, SHUT_WR);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  char sink[1024];
  while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kSliceMs) <= 0) continue;
    if (::recv(fd, sink, sizeof sink, 0) <= 0) break;
  }
  ::close(fd);
  connection->done = true;
}

void FixtureHttpServer::Route(const std::string& target, FixtureResponse response) {
  std::lock_guard lock(mutex_);
  routes_[target] = Route_{std::move(response), 0};
}

void FixtureHttpServer::RemoveRoute(const std::string& target) {
  std::lock_guard lock(mutex_);
  routes_.erase(target);
}

void FixtureHttpServer::SetDefault(FixtureResponse response) {
  std::lock_guard lock(mutex_);
  default_ = std::move(response);
}

void FixtureHttpServer::Release() {
  {
    std::lock_guard lock(mutex_);
    ++releaseGeneration_;
  }
  cv_.notify_all();
}

int FixtureHttpServer::HeldCount() const {
  std::lock_guard lock(mutex_);
  return held_;
}

bool FixtureHttpServer::WaitForHeld(int count, std::chrono::milliseconds bound) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, bound, [&] { return held_ >= count; });
}

std::vector<FixtureRequest> FixtureHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return log_;
}

std::vector<std::string> FixtureHttpServer::Targets() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> targets;
  targets.reserve(log_.size());
  for (const auto& request : log_) targets.push_back(request.target);
  return targets;
}

int FixtureHttpServer::CountOf(const std::string& target) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(log_.begin(), log_.end(),
                                        [&](const FixtureRequest& r) { return r.target == target; }));
}

void FixtureHttpServer::ClearLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

bool FixtureHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds bound) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, bound, [&] { return log_.size() >= count; });
}

void FixtureHttpServer::Stop() {
  if (!running_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  ::close(listenFd_);
  listenFd_ = -1;
  std::vector<std::unique_ptr<Connection>> connections;
  {
    std::lock_guard lock(connectionsMutex_);
    connections.swap(connections_);
  }
  for (auto& connection : connections) connection->thread.join();
  running_ = false;
  std::lock_guard lock(mutex_);
  held_ = 0;
}

bool FixtureHttpServer::Restart() {
  const int port = port_;
  Stop();
  return Listen(port);
}
