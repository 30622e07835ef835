// The network layer against the local fixture server; nothing leaves 127.0.0.1.
#include "platform/internet_session.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "../support/fake_clock.h"
#include "../support/fixture_http_server.h"
#include "../support/zero_sleeper.h"
#include "platform/worker_registry.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Sets (or unsets) one environment variable for the scope, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A loopback port that nothing listens on: bound once, then closed.
int DeadPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A gzip member holding `text` in one stored (uncompressed) deflate block.
std::string Gzip(const std::string& text) {
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  const auto n = static_cast<std::uint16_t>(text.size());
  out += '\x01';
  out += static_cast<char>(n & 0xFF);
  out += static_cast<char>(n >> 8);
  out += static_cast<char>(~n & 0xFF);
  out += static_cast<char>((~n >> 8) & 0xFF);
  out += text;
  auto put32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put32(Crc32(text));
  put32(static_cast<std::uint32_t>(text.size()));
  return out;
}

class InternetSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InternetGlobalInit();
    ASSERT_NE(server_.Port(), 0);
  }
  std::string Url(const std::string& target) const { return server_.BaseUrl() + target; }

  // Proxies of the test machine must not change what the tests see.
  ScopedEnv httpProxy_{"http_proxy", nullptr};
  ScopedEnv allProxy_{"ALL_PROXY", nullptr};
  ScopedEnv allProxyLower_{"all_proxy", nullptr};
  FixtureHttpServer server_;
  ZeroSleeper sleeper_;
  FakeClock clock_;
  InternetSession session_{sleeper_, clock_};
};

// --- Outcomes ----------------------------------------------------------------------

TEST_F(InternetSessionTest, AnswersOfAnyStatusAreOpened) {
  server_.Route("/ok.html", FixtureResponse::Ok("hello", "text/html; charset=gbk"));
  server_.Route("/error.html", FixtureResponse::Status(500, "boom"));

  const HttpResult ok = session_.get(Url("/ok.html"));
  EXPECT_TRUE(ok.opened);
  EXPECT_EQ(ok.status, 200);
  EXPECT_EQ(ok.body, "hello");
  EXPECT_EQ(ok.contentType, "text/html; charset=gbk");
  EXPECT_TRUE(ok.error.empty());

  const HttpResult missing = session_.get(Url("/nothing-here.html"));
  EXPECT_TRUE(missing.opened);
  EXPECT_EQ(missing.status, 404);
  EXPECT_EQ(missing.body, "not found");

  const HttpResult failed = session_.get(Url("/error.html"));
  EXPECT_TRUE(failed.opened);
  EXPECT_EQ(failed.status, 500);
  EXPECT_EQ(failed.body, "boom");
}

TEST_F(InternetSessionTest, RefusedConnectionIsNotOpened) {
  const HttpResult result = session_.get("http://127.0.0.1:" + std::to_string(DeadPort()) + "/x.html");
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(result.body.empty());
  EXPECT_FALSE(result.error.empty());
}

TEST_F(InternetSessionTest, StoppedServerIsNotOpenedAndRestartServesOnTheSamePort) {
  server_.Route("/a.html", FixtureResponse::Ok("one"));
  const int port = server_.Port();
  ASSERT_TRUE(session_.get(Url("/a.html")).opened);

  server_.Stop();
  EXPECT_FALSE(session_.get(Url("/a.html")).opened);

  ASSERT_TRUE(server_.Restart());
  EXPECT_EQ(server_.Port(), port);
  const HttpResult again = session_.get(Url("/a.html"));
  EXPECT_TRUE(again.opened);
  EXPECT_EQ(again.body, "one");
  EXPECT_EQ(server_.CountOf("/a.html"), 2);  // the refused try never reached a server
}

TEST_F(InternetSessionTest, TotalTimeOutEndsAHeldAnswerWithinASecond) {
  server_.Route("/held.html", FixtureResponse{.body = "late", .hold = true});
  HttpOptions options;
  options.totalTimeout = 200ms;
  const auto start = Clock::now();
  const HttpResult result = session_.get(Url("/held.html"), options);
  const auto took = Clock::now() - start;
  server_.Release();
  EXPECT_FALSE(result.opened);
  EXPECT_GE(took, 150ms);
  EXPECT_LT(took, 1s);
}

TEST_F(InternetSessionTest, DelayShorterThanTheTimeOutIsOpenedLongerIsNot) {
  server_.Route("/slow.html", FixtureResponse{.body = "slow", .delay = 400ms});
  server_.Route("/quick.html", FixtureResponse{.body = "quick", .delay = 50ms});
  HttpOptions options;
  options.totalTimeout = 250ms;
  EXPECT_FALSE(session_.get(Url("/slow.html"), options).opened);
  const HttpResult quick = session_.get(Url("/quick.html"), options);
  EXPECT_TRUE(quick.opened);
  EXPECT_EQ(quick.body, "quick");
}

TEST_F(InternetSessionTest, AbortFlagEndsAHeldTransferQuickly) {
  server_.Route("/held.html", FixtureResponse{.body = "late", .hold = true});
  std::atomic<bool> abort{false};
  HttpOptions options;
  options.totalTimeout = 20s;
  options.abort = &abort;
  std::thread aborter([&] {
    server_.WaitForHeld(1, 5s);
    abort = true;
  });
  const auto start = Clock::now();
  const HttpResult result = session_.get(Url("/held.html"), options);
  const auto took = Clock::now() - start;
  aborter.join();
  server_.Release();
  EXPECT_FALSE(result.opened);
  EXPECT_LT(took, 3s);
}

TEST_F(InternetSessionTest, ClosingFlagStopsBeforeAnyRequest) {
  server_.Route("/a.html", FixtureResponse::Ok("one"));
  g_bClosing = true;
  const HttpResult result = session_.get(Url("/a.html"));
  g_bClosing = false;
  EXPECT_FALSE(result.opened);
  EXPECT_EQ(server_.CountOf("/a.html"), 0);
}

TEST_F(InternetSessionTest, ClosingFlagEndsATransferInProgress) {
  server_.Route("/held.html", FixtureResponse{.body = "late", .hold = true});
  HttpOptions options;
  options.totalTimeout = 20s;
  std::thread closer([&] {
    server_.WaitForHeld(1, 5s);
    g_bClosing = true;
  });
  const auto start = Clock::now();
  const HttpResult result = session_.get(Url("/held.html"), options);
  const auto took = Clock::now() - start;
  closer.join();
  g_bClosing = false;
  server_.Release();
  EXPECT_FALSE(result.opened);
  EXPECT_LT(took, 3s);
}

// --- Redirects ---------------------------------------------------------------------

class RedirectTest : public InternetSessionTest {
 protected:
  // /<prefix>0 -> /<prefix>1 -> ... -> /<prefix><hops>, which answers "end".
  void Chain(const std::string& prefix, int hops) {
    for (int i = 0; i < hops; ++i) {
      server_.Route("/" + prefix + std::to_string(i), FixtureResponse::Redirect("/" + prefix + std::to_string(i + 1)));
    }
    server_.Route("/" + prefix + std::to_string(hops), FixtureResponse::Ok("end"));
  }
};

TEST_F(RedirectTest, FiveRedirectsAreFollowed) {
  Chain("r", 5);
  const HttpResult result = session_.get(Url("/r0"));
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, "end");
  EXPECT_EQ(server_.Targets().size(), 6u);
}

TEST_F(RedirectTest, TheSixthRedirectGivesAnOpenedRedirectAnswer) {
  Chain("s", 6);
  const HttpResult result = session_.get(Url("/s0"));
  EXPECT_TRUE(result.opened);
  EXPECT_GE(result.status, 300);
  EXPECT_LT(result.status, 400);
  EXPECT_EQ(server_.CountOf("/s6"), 0);
  EXPECT_EQ(server_.CountOf("/s5"), 1);
}

TEST_F(RedirectTest, NoRedirectsAllowedGivesTheFirstAnswer) {
  Chain("t", 1);
  HttpOptions options;
  options.maxRedirects = 0;
  const HttpResult result = session_.get(Url("/t0"), options);
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.status, 302);
  EXPECT_EQ(server_.CountOf("/t1"), 0);
}

// --- Bodies that cannot be trusted ---------------------------------------------------

TEST_F(InternetSessionTest, BodyOverTheCapIsNotOpenedAtTheCapIsOpened) {
  server_.Route("/big", FixtureResponse::Ok(std::string(1001, 'a')));
  server_.Route("/fits", FixtureResponse::Ok(std::string(1000, 'a')));
  HttpOptions options;
  options.bodyCap = 1000;
  const HttpResult big = session_.get(Url("/big"), options);
  EXPECT_FALSE(big.opened);
  EXPECT_TRUE(big.body.empty());
  EXPECT_EQ(big.error, "body over the cap");
  const HttpResult fits = session_.get(Url("/fits"), options);
  EXPECT_TRUE(fits.opened);
  EXPECT_EQ(fits.body.size(), 1000u);
}

TEST_F(InternetSessionTest, CapAppliesWithoutADeclaredLength) {
  // Read to the close: only the write callback can count.
  server_.Route("/stream", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(5000, 'b')));
  HttpOptions options;
  options.bodyCap = 4096;
  EXPECT_FALSE(session_.get(Url("/stream"), options).opened);
  options.bodyCap = 5000;
  const HttpResult result = session_.get(Url("/stream"), options);
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.body.size(), 5000u);
}

TEST_F(InternetSessionTest, DefaultCapIsSixteenMebibytes) {
  server_.Route("/16", FixtureResponse::LargeBody(16));
  server_.Route("/17", FixtureResponse::LargeBody(17));
  const HttpResult at = session_.get(Url("/16"));
  EXPECT_TRUE(at.opened);
  EXPECT_EQ(at.body.size(), 16u * 1024 * 1024);
  EXPECT_FALSE(session_.get(Url("/17")).opened);
}

TEST_F(InternetSessionTest, BodyClosedMidwayIsNotOpened) {
  server_.Route("/cut.html", FixtureResponse{.body = std::string(10000, 'c'), .closeMidBody = true});
  const HttpResult result = session_.get(Url("/cut.html"));
  EXPECT_FALSE(result.opened);
  EXPECT_TRUE(result.body.empty());
}

TEST_F(InternetSessionTest, BodyShorterThanItsDeclaredLengthIsNotOpened) {
  server_.Route("/short.html", FixtureResponse{.body = "0123456789", .contentLengthDelta = 5});
  EXPECT_FALSE(session_.get(Url("/short.html")).opened);
}

TEST_F(InternetSessionTest, BytesPastTheDeclaredLengthAreNotPartOfTheBody) {
  server_.Route("/long.html", FixtureResponse{.body = "0123456789", .contentLengthDelta = -4});
  const HttpResult result = session_.get(Url("/long.html"));
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.body, "012345");
}

TEST_F(InternetSessionTest, RawAnswersAreReadAsSent) {
  server_.Route("/raw", FixtureResponse::Raw("HTTP/1.1 203 Fine\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nhi"));
  server_.Route("/junk", FixtureResponse::Raw("this is no http answer\r\n\r\n"));
  const HttpResult raw = session_.get(Url("/raw"));
  EXPECT_TRUE(raw.opened);
  EXPECT_EQ(raw.status, 203);
  EXPECT_EQ(raw.body, "hi");
  EXPECT_EQ(raw.contentType, "text/plain");
  EXPECT_FALSE(session_.get(Url("/junk")).opened);
}

TEST_F(InternetSessionTest, GzipBodyIsDecoded) {
  const std::string text = "[{\"SCode\":\"000004\"}]";
  server_.Route("/gz", FixtureResponse{.body = Gzip(text), .headers = {{"Content-Encoding", "gzip"}}});
  const HttpResult result = session_.get(Url("/gz"));
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.body, text);
}

// --- What is sent --------------------------------------------------------------------

TEST_F(InternetSessionTest, RawTargetWithCommasAndEscapedBlankIsSentAsWritten) {
  const std::string target = "/DataCenter/pagesize=200,page=1,sortType=,js=var%20data_tab_1.html";
  server_.Route(target, FixtureResponse::Ok("listed"));
  const HttpResult result = session_.get(Url(target));
  EXPECT_EQ(result.body, "listed");
  ASSERT_EQ(server_.Targets().size(), 1u);
  EXPECT_EQ(server_.Targets()[0], target);
}

TEST_F(InternetSessionTest, RequestCarriesNoCacheEncodingAndExtraHeadersButNoAgent) {
  server_.Route("/h", FixtureResponse::Ok("x"));
  HttpOptions options;
  options.headers = {"Referer: http://127.0.0.1/", "X-Test: 1"};
  ASSERT_TRUE(session_.get(Url("/h"), options).opened);
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const FixtureRequest& request = requests[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.Header("cache-control"), "no-cache");
  EXPECT_EQ(request.Header("Pragma"), "no-cache");
  EXPECT_FALSE(request.Header("Accept-Encoding").empty());
  EXPECT_EQ(request.Header("X-Test"), "1");
  EXPECT_EQ(request.Header("Referer"), "http://127.0.0.1/");
  EXPECT_EQ(request.Header("User-Agent"), "");

  options = HttpOptions{};
  options.noCache = false;
  options.acceptEncoding = false;
  ASSERT_TRUE(session_.get(Url("/h"), options).opened);
  const FixtureRequest plain = server_.Requests().at(1);
  EXPECT_EQ(plain.Header("Pragma"), "");
  EXPECT_EQ(plain.Header("Accept-Encoding"), "");
}

// --- Pacing --------------------------------------------------------------------------

TEST_F(InternetSessionTest, PacingWaitsPerHostNotAcrossHosts) {
  server_.Route("/p", FixtureResponse::Ok("p"));
  const std::string local = "http://localhost:" + std::to_string(server_.Port()) + "/p";
  HttpOptions options;
  options.pacingMs = 50;

  EXPECT_TRUE(session_.get(Url("/p"), options).opened);  // first to 127.0.0.1: no wait
  EXPECT_TRUE(session_.get(local, options).opened);      // first to localhost: no wait
  EXPECT_TRUE(sleeper_.Waits().empty());
  EXPECT_TRUE(session_.get(Url("/p"), options).opened);
  EXPECT_TRUE(session_.get(local, options).opened);
  EXPECT_EQ(sleeper_.Waits(), (std::vector<int>{50, 50}));
}

TEST_F(InternetSessionTest, PacingCountsTheTimeThatPassed) {
  server_.Route("/p", FixtureResponse::Ok("p"));
  HttpOptions options;
  options.pacingMs = 50;
  session_.get(Url("/p"), options);
  clock_.AdvanceMs(60);
  session_.get(Url("/p"), options);  // 60 ms later: no wait
  EXPECT_TRUE(sleeper_.Waits().empty());
  clock_.AdvanceMs(20);
  session_.get(Url("/p"), options);
  EXPECT_EQ(sleeper_.Waits(), (std::vector<int>{30}));
}

TEST_F(InternetSessionTest, NoPacingByDefault) {
  server_.Route("/p", FixtureResponse::Ok("p"));
  for (int i = 0; i < 3; ++i) session_.get(Url("/p"));
  EXPECT_TRUE(sleeper_.Waits().empty());
  EXPECT_EQ(server_.CountOf("/p"), 3);
}

TEST(InternetSessionHost, HostOfReadsTheHostInLowerCase) {
  EXPECT_EQ(InternetSession::HostOf("http://LocalHost:8080/a,b.html"), "localhost");
  EXPECT_EQ(InternetSession::HostOf("https://127.0.0.1/x"), "127.0.0.1");
  EXPECT_EQ(InternetSession::HostOf("not a url"), "");
}

// --- Proxy ---------------------------------------------------------------------------

TEST_F(InternetSessionTest, LoopbackIsReachedPastADeadProxy) {
  server_.Route("/p", FixtureResponse::Ok("direct"));
  const std::string dead = "http://127.0.0.1:" + std::to_string(DeadPort());
  ScopedEnv proxy("http_proxy", dead.c_str());
  ScopedEnv noProxy("no_proxy", nullptr);
  ScopedEnv noProxyUpper("NO_PROXY", nullptr);
  const HttpResult viaAddress = session_.get(Url("/p"));
  EXPECT_TRUE(viaAddress.opened);
  EXPECT_EQ(viaAddress.body, "direct");
  const HttpResult viaName = session_.get("http://localhost:" + std::to_string(server_.Port()) + "/p");
  EXPECT_TRUE(viaName.opened);
}

TEST_F(InternetSessionTest, ProxyOfTheEnvironmentIsUsedForOtherHosts) {
  // The fixture server plays the proxy: a host outside the no-proxy list goes through it.
  const std::string target = "http://127.0.0.2:1/via-proxy.html";
  server_.Route(target, FixtureResponse::Ok("proxied"));
  ScopedEnv proxy("http_proxy", server_.BaseUrl().c_str());
  ScopedEnv noProxy("no_proxy", nullptr);
  ScopedEnv noProxyUpper("NO_PROXY", nullptr);
  const HttpResult result = session_.get(target);
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.body, "proxied");
  EXPECT_EQ(server_.CountOf(target), 1);
}

TEST(InternetSessionProxy, NoProxyListKeepsTheEnvironmentAndAddsLoopback) {
  {
    ScopedEnv lower("no_proxy", nullptr);
    ScopedEnv upper("NO_PROXY", nullptr);
    EXPECT_EQ(LoopbackNoProxyList(), "127.0.0.1,localhost,::1");
  }
  {
    ScopedEnv lower("no_proxy", "intranet.example,");
    EXPECT_EQ(LoopbackNoProxyList(), "intranet.example,127.0.0.1,localhost,::1");
  }
  {
    ScopedEnv lower("no_proxy", nullptr);
    ScopedEnv upper("NO_PROXY", "corp.example");
    EXPECT_EQ(LoopbackNoProxyList(), "corp.example,127.0.0.1,localhost,::1");
  }
  {
    ScopedEnv lower("no_proxy", "*");
    EXPECT_EQ(LoopbackNoProxyList(), "*");
  }
}

// --- Threads and the fixture's own scripts ---------------------------------------------

TEST_F(InternetSessionTest, ConcurrentGetsOnOneSessionAllArrive) {
  for (int i = 0; i < 8; ++i) server_.Route("/c" + std::to_string(i), FixtureResponse::Ok("body" + std::to_string(i)));
  std::array<HttpResult, 8> results;
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { results[i] = session_.get(Url("/c" + std::to_string(i))); });
  }
  for (auto& thread : threads) thread.join();
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(results[i].opened);
    EXPECT_EQ(results[i].body, "body" + std::to_string(i));
  }
}

TEST_F(InternetSessionTest, NotFoundTimesThenTheNormalAnswer) {
  server_.Route("/flaky", FixtureResponse{.body = "now", .notFoundFirst = 2});
  EXPECT_EQ(session_.get(Url("/flaky")).status, 404);
  EXPECT_EQ(session_.get(Url("/flaky")).status, 404);
  const HttpResult third = session_.get(Url("/flaky"));
  EXPECT_EQ(third.status, 200);
  EXPECT_EQ(third.body, "now");
}

TEST_F(InternetSessionTest, ReleaseLetsAHeldAnswerThrough) {
  server_.Route("/held.html", FixtureResponse{.body = "released", .hold = true});
  HttpResult result;
  std::thread client([&] { result = session_.get(Url("/held.html")); });
  ASSERT_TRUE(server_.WaitForHeld(1, 5s));
  server_.Release();
  client.join();
  EXPECT_TRUE(result.opened);
  EXPECT_EQ(result.body, "released");
  EXPECT_EQ(server_.HeldCount(), 0);
}

TEST_F(InternetSessionTest, StopEndsAHeldAnswerWithoutWaitingForRelease) {
  server_.Route("/held.html", FixtureResponse{.body = "never", .hold = true});
  HttpResult result;
  std::thread client([&] { result = session_.get(Url("/held.html")); });
  ASSERT_TRUE(server_.WaitForHeld(1, 5s));
  const auto start = Clock::now();
  server_.Stop();
  client.join();
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_FALSE(result.opened);
  EXPECT_FALSE(server_.Running());
}

TEST_F(InternetSessionTest, RequestLogKeepsOrderAndTime) {
  const auto before = Clock::now();
  session_.get(Url("/one"));
  session_.get(Url("/two"));
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, "/one");
  EXPECT_EQ(requests[1].target, "/two");
  EXPECT_GE(requests[0].time, before);
  EXPECT_LE(requests[0].time, requests[1].time);
  server_.ClearLog();
  EXPECT_TRUE(server_.Requests().empty());
}

TEST(InternetGlobal, InitTwiceIsHarmless) {
  InternetGlobalInit();
  InternetGlobalInit();
  FixtureHttpServer server;
  server.Route("/x", FixtureResponse::Ok("x"));
  EXPECT_EQ(get(server.BaseUrl() + "/x").body, "x");
}

}  // namespace
