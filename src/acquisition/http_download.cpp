#include "acquisition/http_download.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/ascii.h"
#include "platform/gcc_restrict.h"

namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// The value of header field `name` (case-insensitive, at the start of a line, the
// status line skipped); false when absent.
bool HeaderValue(const CHttpSocket& http, std::string_view name, std::string& value) {
  if (!http.m_bResponsed || http.m_nResponseHeaderSize <= 0) return false;
  const std::string_view header(http.m_szResponseHeader, static_cast<std::size_t>(http.m_nResponseHeaderSize));
  std::size_t pos = header.find("\r\n");
  while (pos != std::string_view::npos) {
    pos += 2;
    const std::size_t end = header.find("\r\n", pos);
    const std::string_view line = header.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsNoCase(Trim(line.substr(0, colon)), name)) {
      value = std::string(Trim(line.substr(colon + 1)));
      return true;
    }
    pos = end;
  }
  return false;
}

// Removes "." and ".." segments from an absolute path.
std::string RemoveDotSegments(const std::string& path) {
  std::vector<std::string> kept;
  bool endsInFolder = false;
  std::size_t pos = 1;
  for (;;) {
    const std::size_t next = path.find('/', pos);
    const bool last = next == std::string::npos;
    const std::string segment = path.substr(pos, last ? std::string::npos : next - pos);
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      endsInFolder = last;
    } else if (segment == ".") {
      endsInFolder = last;
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    pos = next + 1;
  }
  std::string out;
  for (const std::string& segment : kept) out += "/" + segment;
  if (endsInFolder || out.empty()) out += "/";
  return out;
}

bool HasScheme(const std::string& text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == ':') return true;
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

std::string Origin(const CHttpDownload::Url& url) {
  std::string origin = "http://" + url.host;
  VELKOR_STRING_RESTRICT_BEGIN
  if (url.port != 80) origin += ":" + std::to_string(url.port);
  VELKOR_STRING_RESTRICT_END
  return origin;
}

}  // namespace

bool CHttpDownload::ParseUrl(const std::string& url, Url& out) {
  static constexpr std::string_view kScheme = "http://";
  if (url.size() < kScheme.size() || !EqualsNoCase(std::string_view(url).substr(0, kScheme.size()), kScheme)) {
    return false;
  }
  for (const char c : url) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f) return false;  // no blanks or control bytes in a request line
  }
  const std::string rest = url.substr(kScheme.size());
  const std::size_t authorityEnd = rest.find_first_of("/?#");
  std::string authority = rest.substr(0, authorityEnd);
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  if (authority.empty() || authority.front() == '[') return false;
  Url parsed;
  const std::size_t colon = authority.find(':');
  parsed.host = authority.substr(0, colon);
  if (parsed.host.empty()) return false;
  if (colon != std::string::npos) {
    const std::string portText = authority.substr(colon + 1);
    if (!portText.empty()) {
      int port = 0;
      const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
      if (ec != std::errc() || end != portText.data() + portText.size() || port <= 0 || port > 65535) return false;
      parsed.port = port;
    }
  }
  std::string path = authorityEnd == std::string::npos ? std::string() : rest.substr(authorityEnd);
  const std::size_t hash = path.find('#');
  if (hash != std::string::npos) path.erase(hash);
  VELKOR_STRING_RESTRICT_BEGIN
  if (path.empty() || path.front() != '/') path.insert(0, "/");
  VELKOR_STRING_RESTRICT_END
  parsed.path = path;
  out = parsed;
  return true;
}

std::string CHttpDownload::ResolveLocation(const std::string& base, const std::string& location) {
  const std::string loc(Trim(location));
  if (HasScheme(loc)) return loc;
  if (loc.rfind("//", 0) == 0) return "http:" + loc;
  Url b;
  if (!ParseUrl(base, b)) return loc;
  VELKOR_STRING_RESTRICT_BEGIN
  const std::string origin = Origin(b);
  VELKOR_STRING_RESTRICT_END
  const std::size_t query = b.path.find('?');
  const std::string basePath = b.path.substr(0, query);
  if (loc.empty()) return origin + b.path;
  if (loc.front() == '#') return origin + b.path;
  if (loc.front() == '?') return origin + basePath + loc;
  std::string target;
  if (loc.front() == '/') {
    target = loc;
  } else {
    target = basePath.substr(0, basePath.rfind('/') + 1) + loc;
  }
  const std::size_t targetQuery = target.find_first_of("?#");
  const std::string tail = targetQuery == std::string::npos ? std::string() : target.substr(targetQuery);
  return origin + RemoveDotSegments(target.substr(0, targetQuery)) + tail;
}

CHttpDownload::CHttpDownload() = default;

CHttpDownload::~CHttpDownload() { Stop(); }

bool CHttpDownload::Start() {
  if (state_.load() != State::Idle) return false;
  if (thread_.joinable()) thread_.join();  // the last download ended by itself
  {
    std::lock_guard lock(pauseMutex_);
    stop_ = false;
    paused_ = false;
    state_ = State::Running;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void CHttpDownload::SuspendOrResume() {
  {
    std::lock_guard lock(pauseMutex_);
    if (state_.load() == State::Running) {
      paused_ = true;
      state_ = State::Paused;
    } else if (state_.load() == State::Paused) {
      paused_ = false;
      state_ = State::Running;
    } else {
      return;
    }
  }
  pauseCv_.notify_all();
}

void CHttpDownload::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(pauseMutex_);
    stop_ = true;
  }
  pauseCv_.notify_all();
  {
    // Wakes a receive or connect that is waiting on the network.
    std::lock_guard lock(watchMutex_);
    if (watchedFd_ >= 0) ::shutdown(watchedFd_, SHUT_RDWR);
  }
  thread_.join();
}

std::uint32_t CHttpDownload::GetElapsed() const {
  const std::int64_t start = m_dwStartTick.load();
  if (start == 0) return 0;
  return static_cast<std::uint32_t>(NowMs() - start);
}

std::string CHttpDownload::FormatSize(double bytes) {
  if (bytes < 1024.0) return std::to_string(static_cast<long long>(bytes)) + " b";
  double value = bytes / 1024.0;
  const char* unit = " K";
  if (bytes >= 1073741824.0) {
    value = bytes / 1073741824.0;
    unit = " G";
  } else if (bytes >= 1048576.0) {
    value = bytes / 1048576.0;
    unit = " M";
  }
  // Without the locale: a decimal point whatever LC_NUMERIC says.
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
  return std::string(text, result.ptr) + unit;
}

std::string CHttpDownload::RateText() const {
  std::lock_guard lock(rateMutex_);
  return rateText_;
}

void CHttpDownload::Run() {
  Download();
  CloseConnection();
  if (fileFd_ >= 0) {
    ::close(fileFd_);
    fileFd_ = -1;
  }
  std::lock_guard lock(pauseMutex_);
  paused_ = false;
  state_ = State::Idle;
}

bool CHttpDownload::WaitWhilePaused() {
  std::unique_lock lock(pauseMutex_);
  pauseCv_.wait(lock, [this] { return !paused_ || stop_.load(); });
  return !stop_.load();
}

bool CHttpDownload::WatchSocket() {
  std::lock_guard lock(watchMutex_);
  if (stop_.load()) return false;
  if (watchedFd_ >= 0) ::close(watchedFd_);
  // A duplicate of our own: it stays valid however the client closes its handle, so a
  // shutdown from Stop() can never reach a descriptor that was reused meanwhile.
  watchedFd_ = ::fcntl(m_HttpSocket.m_hSocket, F_DUPFD_CLOEXEC, 0);
  return watchedFd_ >= 0;
}

void CHttpDownload::UnwatchSocket() {
  std::lock_guard lock(watchMutex_);
  if (watchedFd_ >= 0) ::close(watchedFd_);
  watchedFd_ = -1;
}

void CHttpDownload::CloseConnection() {
  m_HttpSocket.CloseSocket();
  UnwatchSocket();
}

int CHttpDownload::Download() {
  std::string url = m_strUrl;
  int redirects = 0;
  while (!StopRequested()) {
    Url parts;
    if (!ParseUrl(url, parts)) return 0;
    std::string hostHeader = parts.host;
    VELKOR_STRING_RESTRICT_BEGIN
    if (parts.port != 80) hostHeader += ":" + std::to_string(parts.port);
    VELKOR_STRING_RESTRICT_END
    std::string object = parts.path;
    long length = 0;
    m_HttpSocket.FormatRequestHeader(hostHeader.data(), object.data(), length, nullptr, nullptr,
                                     m_nDownloaded.load(), 0, 0);
    if (length <= 0) return 0;

    CloseConnection();
    if (!m_HttpSocket.Socket() || !WatchSocket()) return 0;
    std::string host = parts.host;
    if (!m_HttpSocket.Connect(host.data(), parts.port)) return 0;
    if (!m_HttpSocket.SendRequest(nullptr, length)) return 0;
    // The header did not end (the peer closed, a time-out, not HTTP, too long): no
    // status is taken from it and the file stays as it is.
    if (!m_HttpSocket.m_bConnected || StopRequested()) return 0;
    m_HttpSocket.SetTimeout(kBodyTimeoutMs, 0);

    const int status = m_HttpSocket.GetServerState();
    if (status >= 300 && status <= 399) {
      std::string location;
      CloseConnection();
      if (!HeaderValue(m_HttpSocket, "Location", location) || location.empty()) return 0;
      if (redirects >= kMaxRedirects) return 0;
      ++redirects;
      url = ResolveLocation(url, location);
      continue;
    }
    if (status >= 200 && status <= 299) ReceiveToFile(status);
    return 0;
  }
  return 0;
}

bool CHttpDownload::WriteAll(int fd, const char* data, long size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, static_cast<std::size_t>(size));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

void CHttpDownload::ReceiveToFile(long status) {
  std::string value;
  const bool chunked = HeaderValue(m_HttpSocket, "Transfer-Encoding", value) && ContainsNoCase(value, "chunked");
  long total = -1;  // -1: up to the close
  if (!chunked && HeaderValue(m_HttpSocket, "Content-Length", value)) {
    long declared = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), declared);
    if (ec == std::errc() && end == value.data() + value.size() && declared >= 0) total = declared;
  }

  // Only a 206 continues what we hold; any other answer to a resume restarts the file.
  const bool resume = status == 206 && m_nDownloaded.load() > 0;
  if (!resume) m_nDownloaded = 0;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (resume ? 0 : O_TRUNC);
  fileFd_ = ::open(m_strLocalPath.c_str(), flags, 0644);
  if (fileFd_ < 0) return;
  if (::lseek(fileFd_, static_cast<off_t>(m_nDownloaded.load()), SEEK_SET) < 0) return;

  m_dwStartTick = NowMs();
  char block[kBlockSize];

  // One receive of at most `want` bytes written to the file; false at the end.
  auto take = [&](long want) -> long {
    if (!WaitWhilePaused()) return 0;
    const long got = m_HttpSocket.Receive(block, want);
    if (got <= 0) return 0;
    if (!WriteAll(fileFd_, block, got)) return 0;
    m_nDownloaded += got;
    const std::uint32_t elapsed = GetElapsed();
    if (elapsed > 5000 || (elapsed > 2000 && m_nDownloaded.load() > 10240)) {
      const double rate = static_cast<double>(m_nDownloaded.load()) / (elapsed / 1000.0);
      std::lock_guard lock(rateMutex_);
      rateText_ = FormatSize(rate) + "/S";
    }
    return got;
  };

  if (chunked) {
    // Reads one line of the chunk framing, byte by byte; false when the stream ends.
    auto readLine = [&](std::string& line) {
      line.clear();
      char c = 0;
      while (line.size() < 1024) {
        if (StopRequested() || m_HttpSocket.Receive(&c, 1) <= 0) return false;
        if (c == '\n') {
          if (!line.empty() && line.back() == '\r') line.pop_back();
          return true;
        }
        line += c;
      }
      return false;
    };
    std::string line;
    for (;;) {
      if (!readLine(line)) return;
      const std::string_view sizeText = Trim(std::string_view(line).substr(0, line.find(';')));
      unsigned long long size = 0;
      const auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size, 16);
      if (sizeText.empty() || ec != std::errc() || end != sizeText.data() + sizeText.size()) return;
      if (size == 0) return;  // the last chunk; trailers are not needed
      while (size > 0) {
        const long want = static_cast<long>(size < static_cast<unsigned long long>(kBlockSize) ? size : kBlockSize);
        const long got = take(want);
        if (got <= 0) return;
        size -= static_cast<unsigned long long>(got);
      }
      if (!readLine(line) || !line.empty()) return;
    }
  }

  long received = 0;
  while (total < 0 || received < total) {
    long want = kBlockSize;
    if (total >= 0 && total - received < want) want = total - received;
    const long got = take(want);
    if (got <= 0) break;
    received += got;
  }
}
