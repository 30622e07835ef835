#include "acquisition/http_socket.h"

// Plain C and POSIX only: nothing of the C++ library is instantiated here, so the
// library's dynamic symbol table holds the class and nothing else.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kConnectBoundMs = 10000;
constexpr int kDefaultIoTimeoutMs = 10000;

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int TcpProtocol() {
  protoent entry{};
  protoent* found = nullptr;
  char buffer[1024];
  if (getprotobyname_r("tcp", &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->p_proto;
  }
  return IPPROTO_TCP;
}

// Appends `text` at `*used` when it fits with the terminating zero; false otherwise.
bool Append(char* buffer, size_t* used, const char* text) {
  const size_t n = strlen(text);
  if (*used + n + 1 > CHttpSocket::kHeaderBufferSize) return false;
  memcpy(buffer + *used, text, n);
  *used += n;
  buffer[*used] = '\0';
  return true;
}

bool SetIoTimeout(int fd, int milliseconds, int option) {
  timeval tv{};
  tv.tv_sec = milliseconds / 1000;
  tv.tv_usec = static_cast<suseconds_t>(milliseconds % 1000) * 1000;
  return setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

// Connects `fd` to `address` within `boundMs`; the socket is blocking again afterwards.
bool ConnectBounded(int fd, const sockaddr* address, socklen_t length, int boundMs) {
  const int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  bool ok = false;
  if (connect(fd, address, length) == 0) {
    ok = true;
  } else if (errno == EINPROGRESS || errno == EINTR) {
    const long long deadline = NowMs() + boundMs;
    for (;;) {
      const long long left = deadline - NowMs();
      if (left <= 0) break;
      pollfd p{fd, POLLOUT, 0};
      const int ready = poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      int error = 0;
      socklen_t size = sizeof error;
      ok = getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
      break;
    }
  }
  if (fcntl(fd, F_SETFL, flags) < 0) ok = false;
  return ok;
}

}  // namespace

CHttpSocket::CHttpSocket()
    : m_nPort(80),
      m_bConnected(0),
      m_hSocket(kNoSocket),
      m_pHostEntry(nullptr),
      m_nCurIndex(0),
      m_bResponsed(0),
      m_nResponseHeaderSize(-1) {
  memset(m_szResponseHeader, 0, sizeof m_szResponseHeader);
  memset(m_szRequestHeader, 0, sizeof m_szRequestHeader);
  memset(m_szIpAddress, 0, sizeof m_szIpAddress);
}

CHttpSocket::~CHttpSocket() {
  CloseSocket();
  if (m_pHostEntry != nullptr) {
    freeaddrinfo(m_pHostEntry);
    m_pHostEntry = nullptr;
  }
}

int CHttpSocket::Socket() {
  if (m_bConnected) return 0;
  // A handle that never got connected is dropped rather than leaked.
  if (m_hSocket != kNoSocket) {
    close(m_hSocket);
    m_hSocket = kNoSocket;
  }
  m_hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, TcpProtocol());
  if (m_hSocket < 0) {
    m_hSocket = kNoSocket;
    return 0;
  }
  return 1;
}

int CHttpSocket::Connect(char* host, int port) {
  if (host == nullptr) return 0;
  if (m_bConnected) CloseSocket();
  m_nPort = port;
  if (m_pHostEntry != nullptr) {
    freeaddrinfo(m_pHostEntry);
    m_pHostEntry = nullptr;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  if (getaddrinfo(host, nullptr, &hints, &m_pHostEntry) != 0 || m_pHostEntry == nullptr) {
    m_pHostEntry = nullptr;
    return 0;
  }
  sockaddr_in address{};
  memcpy(&address, m_pHostEntry->ai_addr, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_ntop(AF_INET, &address.sin_addr, m_szIpAddress, sizeof m_szIpAddress) == nullptr) {
    m_szIpAddress[0] = '\0';
  }
  if (m_hSocket == kNoSocket || port <= 0 || port > 65535) return 0;
  if (!ConnectBounded(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address,
                      kConnectBoundMs)) {
    return 0;
  }
  // Reads and sends never wait without a bound; SetTimeout changes the bound.
  SetIoTimeout(m_hSocket, kDefaultIoTimeoutMs, SO_RCVTIMEO);
  SetIoTimeout(m_hSocket, kDefaultIoTimeoutMs, SO_SNDTIMEO);
  m_bConnected = 1;
  return 1;
}

const char* CHttpSocket::FormatRequestHeader(char* server, char* object, long& length, char* cookie,
                                             char* referer, long from, long to, int /*serverType*/) {
  memset(m_szRequestHeader, 0, sizeof m_szRequestHeader);
  length = 0;
  size_t used = 0;
  char range[80];
  range[0] = '\0';
  if (from > 0) {
    if (to > from) {
      snprintf(range, sizeof range, "Range: bytes=%ld-%ld\r\n", from, to);
    } else {
      snprintf(range, sizeof range, "Range: bytes=%ld-\r\n", from);
    }
  }
  char* b = m_szRequestHeader;
  bool ok = Append(b, &used, "GET ") && Append(b, &used, object != nullptr ? object : "/") &&
            Append(b, &used, " HTTP/1.1\r\n") && Append(b, &used, "Host:") &&
            Append(b, &used, server != nullptr ? server : "") && Append(b, &used, "\r\n");
  if (ok && referer != nullptr) {
    ok = Append(b, &used, "Referer:") && Append(b, &used, referer) && Append(b, &used, "\r\n");
  }
  ok = ok && Append(b, &used, "Accept:*/*\r\n") &&
       Append(b, &used, "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n") &&
       Append(b, &used, "Connection:Keep-Alive\r\n");
  if (ok && cookie != nullptr) {
    ok = Append(b, &used, "Set Cookie:0") && Append(b, &used, cookie) && Append(b, &used, "\r\n");
  }
  ok = ok && Append(b, &used, range) && Append(b, &used, "\r\n");
  if (!ok) {
    // Too long for the buffer: nothing is sent rather than a cut request.
    memset(m_szRequestHeader, 0, sizeof m_szRequestHeader);
    return m_szRequestHeader;
  }
  length = static_cast<long>(used);
  return m_szRequestHeader;
}

int CHttpSocket::SendRequest(const char* request, long length) {
  if (!m_bConnected) return 0;
  const char* data = request != nullptr ? request : m_szRequestHeader;
  size_t size = 0;
  if (length > 0) {
    size = static_cast<size_t>(length);
    if (request == nullptr && size > strlen(m_szRequestHeader)) size = strlen(m_szRequestHeader);
  } else {
    size = strlen(data);
  }
  if (size == 0) return 0;
  while (size > 0) {
    const ssize_t sent = send(m_hSocket, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return 0;
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  int headerLength = 0;
  GetResponseHeader(headerLength);
  return 1;
}

const char* CHttpSocket::GetResponseHeader(int& length) {
  m_nResponseHeaderSize = -1;
  memset(m_szResponseHeader, 0, sizeof m_szResponseHeader);
  // The last byte stays the terminating zero.
  const int capacity = kHeaderBufferSize - 1;
  int stored = 0;
  bool complete = false;
  while (stored < capacity) {
    char byte = 0;
    ssize_t got = -1;
    if (m_hSocket != kNoSocket) {
      do {
        got = recv(m_hSocket, &byte, 1, 0);
      } while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
      // The peer went away, the read failed or timed out: the header ends here.
      CloseSocket();
      break;
    }
    m_szResponseHeader[stored++] = byte;
    if (stored >= 4 && memcmp(m_szResponseHeader, "HTTP", 4) != 0) {
      CloseSocket();
      break;
    }
    if (stored >= 4 && memcmp(m_szResponseHeader + stored - 4, "\r\n\r\n", 4) == 0) {
      complete = true;
      break;
    }
  }
  // A header that fills the buffer without its blank line cannot be read on.
  if (!complete && stored >= capacity) CloseSocket();
  m_szResponseHeader[stored] = '\0';
  m_nResponseHeaderSize = stored;
  m_bResponsed = 1;
  length = stored;
  return m_szResponseHeader;
}

int CHttpSocket::GetRequestHeader(char* buffer, int length) const {
  if (buffer == nullptr || length <= 0) return 0;
  int n = static_cast<int>(strnlen(m_szRequestHeader, sizeof m_szRequestHeader));
  if (n > length) n = length;
  memcpy(buffer, m_szRequestHeader, static_cast<size_t>(n));
  return n;
}

int CHttpSocket::GetResponseLine(char* line, int maxLength) {
  if (m_nCurIndex >= m_nResponseHeaderSize) {
    m_nCurIndex = 0;
    return -1;
  }
  if (line == nullptr || maxLength <= 0) return 0;
  int copied = 0;
  while (copied < maxLength && m_nCurIndex < m_nResponseHeaderSize) {
    const char c = m_szResponseHeader[m_nCurIndex++];
    line[copied++] = c;
    if (c == '\n') break;
  }
  return copied;
}

int CHttpSocket::GetField(const char* name, char* value, int length) {
  if (!m_bResponsed || m_nResponseHeaderSize < 0 || name == nullptr || name[0] == '\0') return -1;
  const char* header = m_szResponseHeader;
  const char* end = header + m_nResponseHeaderSize;
  const char* found = strstr(header, name);
  if (found == nullptr) return -1;
  const char* start = found + strlen(name) + 2;
  if (start > end) start = end;
  const char* stop = strstr(start, "\r\n");
  if (stop == nullptr || stop > end) stop = end;
  const int full = static_cast<int>(stop - start);
  if (value != nullptr && length > 0) {
    const int n = full < length - 1 ? full : length - 1;
    memcpy(value, start, static_cast<size_t>(n));
    value[n] = '\0';
  }
  return full;
}

int CHttpSocket::GetServerState() {
  if (!m_bResponsed || m_nResponseHeaderSize < 12) return -1;
  int code = 0;
  for (int i = 9; i < 12; ++i) {
    const char c = m_szResponseHeader[i];
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}

int CHttpSocket::SetTimeout(int milliseconds, int type) {
  if (m_hSocket == kNoSocket || milliseconds < 0) return 0;
  return SetIoTimeout(m_hSocket, milliseconds, type == 0 ? SO_RCVTIMEO : SO_SNDTIMEO) ? 1 : 0;
}

long CHttpSocket::Receive(char* buffer, long length) {
  if (!m_bConnected || buffer == nullptr || length <= 0) return 0;
  ssize_t got = 0;
  do {
    got = recv(m_hSocket, buffer, static_cast<size_t>(length), 0);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) CloseSocket();
  return static_cast<long>(got);
}

int CHttpSocket::CloseSocket() {
  if (m_hSocket != kNoSocket) {
    // EINTR still releases the descriptor on Linux; only a bad handle is a failure.
    if (close(m_hSocket) != 0 && errno == EBADF) return 0;
  }
  m_hSocket = kNoSocket;
  m_bConnected = 0;
  if (m_pHostEntry != nullptr) {
    freeaddrinfo(m_pHostEntry);
    m_pHostEntry = nullptr;
  }
  return 1;
}
