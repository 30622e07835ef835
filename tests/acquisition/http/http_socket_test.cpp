// CHttpSocket, linked against libvelkorhttp.so alone, talking to the fixture server in
// raw mode so every byte of the answer is the test's own.
#include "acquisition/http_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

#include "../../support/fixture_http_server.h"

namespace {

const std::string kAgent = "User-Agent:Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";

std::string Format(CHttpSocket& http, const char* server, const char* object, const char* cookie,
                   const char* referer, long from, long to, long* lengthOut = nullptr) {
  std::string serverText = server;
  std::string objectText = object;
  std::string cookieText = cookie ? cookie : "";
  std::string refererText = referer ? referer : "";
  long length = -7;
  const char* text = http.FormatRequestHeader(serverText.data(), objectText.data(), length,
                                              cookie ? cookieText.data() : nullptr,
                                              referer ? refererText.data() : nullptr, from, to, 0);
  EXPECT_EQ(text, http.m_szRequestHeader);
  if (lengthOut) *lengthOut = length;
  EXPECT_EQ(static_cast<std::size_t>(length), std::strlen(text));
  return std::string(text, static_cast<std::size_t>(length));
}

// A socket connected to the fixture server.
bool ConnectTo(CHttpSocket& http, const FixtureHttpServer& server) {
  char host[] = "127.0.0.1";
  return http.Socket() == 1 && http.Connect(host, server.Port()) == 1;
}

// Sends a plain GET for `target` and reads the answer's header.
int Request(CHttpSocket& http, const FixtureHttpServer& server, const char* target) {
  if (!ConnectTo(http, server)) return 0;
  long length = 0;
  std::string host = "127.0.0.1:" + std::to_string(server.Port());
  std::string object = target;
  http.FormatRequestHeader(host.data(), object.data(), length, nullptr, nullptr, 0, 0, 0);
  return http.SendRequest(nullptr, length);
}

std::string Header(const CHttpSocket& http) {
  return std::string(http.m_szResponseHeader, static_cast<std::size_t>(std::max(0, http.m_nResponseHeaderSize)));
}

TEST(HttpSocketConstruct, StartsUnconnectedWithDefaults) {
  CHttpSocket http;
  EXPECT_EQ(http.m_nPort, 80);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_hSocket, -1);
  EXPECT_EQ(http.m_nResponseHeaderSize, -1);
  EXPECT_EQ(http.m_bResponsed, 0);
  EXPECT_EQ(http.m_szRequestHeader[0], '\0');
  char buffer[16];
  EXPECT_EQ(http.Receive(buffer, sizeof buffer), 0);
  EXPECT_EQ(http.SetTimeout(100, 0), 0);
  EXPECT_EQ(http.SendRequest(nullptr, 0), 0);
  EXPECT_EQ(http.CloseSocket(), 1);
}

TEST(HttpSocketFormat, PlainRequestIsSixLinesWithTheBlankOneByteExact) {
  CHttpSocket http;
  const std::string text = Format(http, "www.example.test", "/data/list.txt", nullptr, nullptr, 0, 0);
  EXPECT_EQ(text,
            "GET /data/list.txt HTTP/1.1\r\n"
            "Host:www.example.test\r\n"
            "Accept:*/*\r\n" +
                kAgent + "Connection:Keep-Alive\r\n\r\n");
  std::size_t lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 6u);
}

TEST(HttpSocketFormat, RefererLineFollowsHost) {
  CHttpSocket http;
  const std::string text = Format(http, "h", "/", nullptr, "http://h/start.html", 0, 0);
  EXPECT_EQ(text, "GET / HTTP/1.1\r\nHost:h\r\nReferer:http://h/start.html\r\nAccept:*/*\r\n" + kAgent +
                      "Connection:Keep-Alive\r\n\r\n");
}

TEST(HttpSocketFormat, CookieLineIsSetCookieZeroThenTheCookie) {
  CHttpSocket http;
  const std::string text = Format(http, "h", "/", "sid=42; lang=zh", nullptr, 0, 0);
  EXPECT_EQ(text, "GET / HTTP/1.1\r\nHost:h\r\nAccept:*/*\r\n" + kAgent +
                      "Connection:Keep-Alive\r\nSet Cookie:0sid=42; lang=zh\r\n\r\n");
}

TEST(HttpSocketFormat, RangeLines) {
  CHttpSocket http;
  const std::string base = "GET /f HTTP/1.1\r\nHost:h\r\nAccept:*/*\r\n" + kAgent + "Connection:Keep-Alive\r\n";
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 5000, 0), base + "Range: bytes=5000-\r\n\r\n");
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 5000, 9000), base + "Range: bytes=5000-9000\r\n\r\n");
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 5000, 5000), base + "Range: bytes=5000-\r\n\r\n");
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 5000, 4999), base + "Range: bytes=5000-\r\n\r\n");
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 1, 0), base + "Range: bytes=1-\r\n\r\n");
  // No range without a start, whatever the end.
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 0, 9000), base + "\r\n");
  // Offsets past 4 GiB are written whole.
  EXPECT_EQ(Format(http, "h", "/f", nullptr, nullptr, 5000000000L, 0), base + "Range: bytes=5000000000-\r\n\r\n");
}

TEST(HttpSocketFormat, RequestMustFitTheBufferWithItsZero) {
  CHttpSocket http;
  long length = 0;
  const std::size_t fixed = Format(http, "h", "", nullptr, nullptr, 0, 0, &length).size();
  // 1,023 bytes of text fit with the terminating zero; 1,024 do not.
  const std::string fits(1023 - fixed, 'a');
  EXPECT_EQ(Format(http, "h", fits.c_str(), nullptr, nullptr, 0, 0, &length).size(), 1023u);
  EXPECT_EQ(length, 1023);
  const std::string tooLong(1024 - fixed, 'a');
  EXPECT_EQ(Format(http, "h", tooLong.c_str(), nullptr, nullptr, 0, 0, &length), "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(http.m_szRequestHeader[0], '\0');
  char copy[2048];
  EXPECT_EQ(http.GetRequestHeader(copy, sizeof copy), 0);
  // An over-long cookie or referer is refused the same way.
  const std::string huge(2000, 'c');
  EXPECT_EQ(Format(http, "h", "/", huge.c_str(), nullptr, 0, 0, &length), "");
  EXPECT_EQ(Format(http, "h", "/", nullptr, huge.c_str(), 0, 0, &length), "");
  EXPECT_EQ(length, 0);
}

TEST(HttpSocketFormat, OverLongRequestIsNeverSent) {
  FixtureHttpServer server;
  ASSERT_NE(server.Port(), 0);
  server.SetDefault(FixtureResponse::Raw("HTTP/1.1 200 OK\r\n\r\n"));
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  long length = 0;
  std::string object(3000, 'p');
  object[0] = '/';
  char host[] = "127.0.0.1";
  http.FormatRequestHeader(host, object.data(), length, nullptr, nullptr, 0, 0, 0);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(http.SendRequest(nullptr, length), 0);
  EXPECT_EQ(http.SendRequest(nullptr, 0), 0);
  EXPECT_EQ(http.m_bResponsed, 0);
  EXPECT_FALSE(server.WaitForRequests(1, std::chrono::milliseconds(200)));
}

TEST(HttpSocketFormat, GetRequestHeaderCopiesAtMostLengthWithoutZero) {
  CHttpSocket http;
  const std::string text = Format(http, "h", "/x", nullptr, nullptr, 0, 0);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(http.GetRequestHeader(buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 8), "GET /###");
  std::string all(text.size() + 10, '#');
  EXPECT_EQ(http.GetRequestHeader(all.data(), static_cast<int>(all.size())), static_cast<int>(text.size()));
  EXPECT_EQ(all.substr(0, text.size()), text);
  EXPECT_EQ(all[text.size()], '#');
  EXPECT_EQ(http.GetRequestHeader(buffer, 0), 0);
  EXPECT_EQ(http.GetRequestHeader(nullptr, 5), 0);
}

TEST(HttpSocketConnect, UnresolvableOrMissingHostFails) {
  CHttpSocket http;
  ASSERT_EQ(http.Socket(), 1);
  char bad[] = "a..b";
  EXPECT_EQ(http.Connect(bad, 80), 0);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.Connect(nullptr, 80), 0);
  EXPECT_EQ(http.m_bConnected, 0);
  char buffer[4];
  EXPECT_EQ(http.Receive(buffer, sizeof buffer), 0);
}

TEST(HttpSocketConnect, RefusedPortFails) {
  // A port that was free a moment ago: nothing listens there.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t size = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  const int port = ntohs(address.sin_port);
  ::close(probe);

  CHttpSocket http;
  ASSERT_EQ(http.Socket(), 1);
  char host[] = "127.0.0.1";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.Connect(host, port), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_nPort, port);
}

TEST(HttpSocketConnect, ConnectStoresPortAndAddressText) {
  FixtureHttpServer server;
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  EXPECT_EQ(http.m_bConnected, 1);
  EXPECT_EQ(http.m_nPort, server.Port());
  EXPECT_STREQ(http.m_szIpAddress, "127.0.0.1");
  EXPECT_NE(http.m_pHostEntry, nullptr);
}

TEST(HttpSocketConnect, SocketOnConnectedObjectReturnsZeroAndKeepsTheHandle) {
  FixtureHttpServer server;
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  const int handle = http.m_hSocket;
  EXPECT_EQ(http.Socket(), 0);
  EXPECT_EQ(http.m_hSocket, handle);
  EXPECT_EQ(http.m_bConnected, 1);
}

TEST(HttpSocketConnect, SocketReplacesAnUnconnectedHandle) {
  CHttpSocket http;
  ASSERT_EQ(http.Socket(), 1);
  const int first = http.m_hSocket;
  ASSERT_EQ(http.Socket(), 1);
  // The first handle was closed, not leaked: the number is free again.
  const int reused = ::socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_TRUE(reused == first || http.m_hSocket == first);
  ::close(reused);
}

TEST(HttpSocketConnect, ConnectWhenConnectedClosesFirstAndNeedsANewSocket) {
  FixtureHttpServer server;
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  char host[] = "127.0.0.1";
  EXPECT_EQ(http.Connect(host, server.Port()), 0);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_hSocket, -1);
  EXPECT_TRUE(ConnectTo(http, server));
}

TEST(HttpSocketHeader, StateIsMinusOneBeforeAnyRequest) {
  CHttpSocket http;
  EXPECT_EQ(http.GetServerState(), -1);
  char value[16];
  EXPECT_EQ(http.GetField("Content-Length", value, sizeof value), -1);
  char line[64];
  EXPECT_EQ(http.GetResponseLine(line, sizeof line), -1);
}

TEST(HttpSocketHeader, RedirectStatusAndTheRequestOnTheWire) {
  FixtureHttpServer server;
  server.Route("/old", FixtureResponse::Raw("HTTP/1.1 302 Found\r\nLocation: /new\r\n\r\n"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/old"), 1);
  EXPECT_EQ(http.GetServerState(), 302);
  EXPECT_EQ(Header(http), "HTTP/1.1 302 Found\r\nLocation: /new\r\n\r\n");
  EXPECT_EQ(http.m_nResponseHeaderSize, 38);
  EXPECT_EQ(http.m_bResponsed, 1);
  EXPECT_EQ(http.m_bConnected, 1);
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(5)));
  const FixtureRequest request = server.Requests().at(0);
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/old");
  EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(request.Header("Accept"), "*/*");
  EXPECT_EQ(request.Header("Connection"), "Keep-Alive");
  EXPECT_EQ(request.Header("Range"), "");
}

TEST(HttpSocketHeader, ShortHeaderGivesNoStatusEvenAfterAnEarlierAnswer) {
  FixtureHttpServer server;
  server.Route("/ok", FixtureResponse::Raw("HTTP/1.1 200 OK\r\n\r\n"));
  server.Route("/short", FixtureResponse::Raw("HTTP/1.1 2\r\n"));  // 12 bytes, then the close
  server.Route("/tiny", FixtureResponse::Raw("HTTP\r\n\r\n"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/ok"), 1);
  EXPECT_EQ(http.GetServerState(), 200);
  http.CloseSocket();
  ASSERT_EQ(Request(http, server, "/tiny"), 1);
  EXPECT_EQ(http.m_nResponseHeaderSize, 8);
  EXPECT_EQ(http.GetServerState(), -1);
  http.CloseSocket();
  ASSERT_EQ(Request(http, server, "/short"), 1);
  EXPECT_EQ(http.m_nResponseHeaderSize, 12);
  // Twelve bytes hold a status, but "2\r\n" is no number.
  EXPECT_EQ(http.GetServerState(), -1);
  EXPECT_EQ(http.m_bConnected, 0);
}

TEST(HttpSocketHeader, HeaderReadingLeavesTheBodyOnTheSocket) {
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  EXPECT_EQ(Header(http), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n");
  std::string body;
  char buffer[1024];
  long got = 0;
  while ((got = http.Receive(buffer, sizeof buffer)) > 0) body.append(buffer, static_cast<std::size_t>(got));
  EXPECT_EQ(body, "hello");
  // The peer closed: the receive of 0 closed our side as well.
  EXPECT_EQ(got, 0);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_hSocket, -1);
  EXPECT_EQ(http.Receive(buffer, sizeof buffer), 0);
  // The header stays for the questions after the close.
  EXPECT_EQ(http.GetServerState(), 200);
}

TEST(HttpSocketHeader, FieldLookUp) {
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw(
                         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1234\r\nX-Empty: \r\n\r\n"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  char value[64];
  EXPECT_EQ(http.GetField("Content-Length", value, sizeof value), 4);
  EXPECT_STREQ(value, "1234");
  EXPECT_EQ(http.GetField("Content-Type", value, sizeof value), 10);
  EXPECT_STREQ(value, "text/plain");
  EXPECT_EQ(http.GetField("Location", value, sizeof value), -1);
  EXPECT_EQ(http.GetField("content-length", value, sizeof value), -1);  // case counts
  EXPECT_EQ(http.GetField("X-Empty", value, sizeof value), 0);
  EXPECT_STREQ(value, "");
  // A small buffer gets what fits with the zero; the result is the full length.
  char small[3] = {'#', '#', '#'};
  EXPECT_EQ(http.GetField("Content-Length", small, sizeof small), 4);
  EXPECT_STREQ(small, "12");
  // The name is found anywhere in the text, not only at a line start.
  EXPECT_EQ(http.GetField("Length", value, sizeof value), 4);
  EXPECT_STREQ(value, "1234");
}

TEST(HttpSocketHeader, ResponseLinesCycle) {
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nA: 1\r\n\r\n"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  char line[64];
  int n = http.GetResponseLine(line, sizeof line);
  EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)), "HTTP/1.1 200 OK\r\n");
  n = http.GetResponseLine(line, sizeof line);
  EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)), "A: 1\r\n");
  n = http.GetResponseLine(line, sizeof line);
  EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)), "\r\n");
  EXPECT_EQ(http.GetResponseLine(line, sizeof line), -1);
  n = http.GetResponseLine(line, sizeof line);
  EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)), "HTTP/1.1 200 OK\r\n");
  // A short buffer splits a line; the rest comes with the next call.
  n = http.GetResponseLine(line, 3);
  EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)), "A: ");
  n = http.GetResponseLine(line, sizeof line);
  EXPECT_EQ(std::string(line, static_cast<std::size_t>(n)), "1\r\n");
}

TEST(HttpSocketHeader, AnswerThatIsNotHttpClosesWithFourBytes) {
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw("SSH-2.0-OpenSSH\r\n\r\n"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  EXPECT_EQ(http.m_nResponseHeaderSize, 4);
  EXPECT_EQ(Header(http), "SSH-");
  EXPECT_EQ(http.m_bResponsed, 1);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_hSocket, -1);
  EXPECT_EQ(http.GetServerState(), -1);
}

TEST(HttpSocketHeader, OverLongHeaderIsClosedWithTheZeroKept) {
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nX-Long: " + std::string(2000, 'z') + "\r\n\r\nbody"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  EXPECT_EQ(http.m_nResponseHeaderSize, 1023);
  EXPECT_EQ(http.m_szResponseHeader[1022], 'z');
  EXPECT_EQ(http.m_szResponseHeader[1023], '\0');
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.GetServerState(), 200);
}

TEST(HttpSocketHeader, HeaderOfExactlyTheCapacityIsComplete) {
  // 1,023 bytes ending in the blank line: the last byte that fits ends the header.
  const std::string start = "HTTP/1.1 200 OK\r\nX-Pad: ";
  const std::string head = start + std::string(1023 - start.size() - 4, 'p') + "\r\n\r\n";
  ASSERT_EQ(head.size(), 1023u);
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw(head + "rest"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  EXPECT_EQ(http.m_nResponseHeaderSize, 1023);
  EXPECT_EQ(http.m_bConnected, 1);
  char buffer[16];
  long got = http.Receive(buffer, sizeof buffer);
  ASSERT_GT(got, 0);
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), std::string("rest").substr(0, got));
}

TEST(HttpSocketHeader, PeerClosingMidHeaderEndsTheRead) {
  FixtureHttpServer server;
  server.Route("/f", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nContent-"));
  CHttpSocket http;
  ASSERT_EQ(Request(http, server, "/f"), 1);
  EXPECT_EQ(Header(http), "HTTP/1.1 200 OK\r\nContent-");
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_hSocket, -1);
}

TEST(HttpSocketHeader, SilentServerEndsTheReadAtTheTimeout) {
  FixtureHttpServer server;
  FixtureResponse held = FixtureResponse::Raw("HTTP/1.1 200 OK\r\n\r\n");
  held.hold = true;
  server.Route("/slow", held);
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  EXPECT_EQ(http.SetTimeout(300, 0), 1);
  EXPECT_EQ(http.SetTimeout(300, 1), 1);
  EXPECT_EQ(http.SetTimeout(-1, 0), 0);
  long length = 0;
  char host[] = "127.0.0.1";
  char object[] = "/slow";
  http.FormatRequestHeader(host, object, length, nullptr, nullptr, 0, 0, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(http.SendRequest(nullptr, length), 1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(250));
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(http.m_nResponseHeaderSize, 0);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.GetServerState(), -1);
  server.Release();
}

TEST(HttpSocketSend, ExplicitRequestAndLength) {
  FixtureHttpServer server;
  server.Route("/given", FixtureResponse::Raw("HTTP/1.0 204 No Content\r\n\r\n"));
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  const std::string request = "GET /given HTTP/1.0\r\n\r\nGARBAGE";
  // Only the first `length` bytes go out.
  EXPECT_EQ(http.SendRequest(request.c_str(), static_cast<long>(request.size() - 7)), 1);
  EXPECT_EQ(http.GetServerState(), 204);
  ASSERT_TRUE(server.WaitForRequests(1, std::chrono::seconds(5)));
  EXPECT_EQ(server.Targets().at(0), "/given");
}

TEST(HttpSocketSend, SendToAClosedPeerDoesNotRaiseSigpipe) {
  ::signal(SIGPIPE, SIG_DFL);  // a SIGPIPE would end this process
  FixtureHttpServer server;
  server.SetDefault(FixtureResponse::Raw("HTTP/1.1 200 OK\r\n\r\n"));
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  // Our sending side is gone: the send fails with EPIPE.
  ASSERT_EQ(::shutdown(http.m_hSocket, SHUT_WR), 0);
  long length = 0;
  char host[] = "127.0.0.1";
  char object[] = "/";
  http.FormatRequestHeader(host, object, length, nullptr, nullptr, 0, 0, 0);
  EXPECT_EQ(http.SendRequest(nullptr, length), 0);
  EXPECT_EQ(http.m_bResponsed, 0);

  // A peer that resets the connection.
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  socklen_t size = sizeof address;
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
  CHttpSocket second;
  ASSERT_EQ(second.Socket(), 1);
  char local[] = "127.0.0.1";
  ASSERT_EQ(second.Connect(local, ntohs(address.sin_port)), 1);
  const int peer = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  linger hard{1, 0};
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(peer);
  ::close(listener);
  const std::string bytes(4096, 'q');
  // The first send may still be taken; whatever follows meets the reset (EPIPE).
  int result = 1;
  for (int i = 0; i < 5; ++i) result = second.SendRequest(bytes.c_str(), static_cast<long>(bytes.size()));
  EXPECT_EQ(result, 0);
}

TEST(HttpSocketClose, CloseSocketClearsTheState) {
  FixtureHttpServer server;
  CHttpSocket http;
  ASSERT_TRUE(ConnectTo(http, server));
  EXPECT_EQ(http.CloseSocket(), 1);
  EXPECT_EQ(http.m_bConnected, 0);
  EXPECT_EQ(http.m_hSocket, -1);
  EXPECT_EQ(http.CloseSocket(), 1);
}

}  // namespace
