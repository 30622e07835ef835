// CHttpDownload against the fixture server: redirects, byte-exact bodies, resumes,
// failures that write nothing, and the thread's lifecycle (pause, stop, destructor).
#include "acquisition/http_download.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "../support/fixture_http_server.h"
#include "../support/temp_program_folder.h"

namespace {

using namespace std::chrono_literals;

TempProgramFolder::Options NoGlobals() {
  TempProgramFolder::Options options;
  options.setGlobals = false;
  return options;
}

bool WaitUntilIdle(const CHttpDownload& download, std::chrono::milliseconds bound = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (download.IsRunning()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

bool WaitForBytes(const CHttpDownload& download, long count, std::chrono::milliseconds bound = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (download.Downloaded() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

std::string AllBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
  return bytes;
}

class HttpDownloadTest : public testing::Test {
 protected:
  HttpDownloadTest() : folder_(NoGlobals()) {}
  void SetUp() override { ASSERT_NE(server_.Port(), 0); }

  // Starts a download of `target` into `name` and waits for its end.
  void Fetch(CHttpDownload& download, const std::string& target, const std::string& name = "out.bin") {
    download.m_strUrl = server_.BaseUrl() + target;
    download.m_strLocalPath = folder_.File(name);
    ASSERT_TRUE(download.Start());
    ASSERT_TRUE(WaitUntilIdle(download));
    download.Stop();  // joins the ended thread
  }

  FixtureHttpServer server_;
  TempProgramFolder folder_;
};

TEST_F(HttpDownloadTest, OkAnswerIsWrittenByteExact) {
  const std::string body = AllBytes(5000);  // several blocks, every byte value
  server_.Route("/data.bin", FixtureResponse::Ok(body, "application/octet-stream"));
  CHttpDownload download;
  Fetch(download, "/data.bin");
  EXPECT_EQ(folder_.ReadFile("out.bin"), body);
  EXPECT_EQ(download.Downloaded(), 5000);
  ASSERT_EQ(server_.Requests().size(), 1u);
  const FixtureRequest request = server_.Requests().at(0);
  EXPECT_EQ(request.target, "/data.bin");
  EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server_.Port()));
  EXPECT_EQ(request.Header("Range"), "");
}

TEST_F(HttpDownloadTest, EmptyBodyGivesAnEmptyFile) {
  server_.Route("/empty", FixtureResponse::Ok(""));
  folder_.WriteFile("out.bin", "old content");
  CHttpDownload download;
  Fetch(download, "/empty");
  EXPECT_TRUE(folder_.Exists("out.bin"));
  EXPECT_EQ(folder_.ReadFile("out.bin"), "");
}

TEST_F(HttpDownloadTest, RedirectFetchesTheLocation) {
  server_.Route("/start", FixtureResponse::Redirect(server_.BaseUrl() + "/moved/file.txt"));
  server_.Route("/moved/file.txt", FixtureResponse::Ok("the payload"));
  CHttpDownload download;
  Fetch(download, "/start");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "the payload");
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{"/start", "/moved/file.txt"}));
}

TEST_F(HttpDownloadTest, RelativeLocationsAreResolved) {
  server_.Route("/dir/a.html", FixtureResponse::Redirect("b.txt?x=1", 301));
  server_.Route("/dir/b.txt?x=1", FixtureResponse::Redirect("/top/c.txt", 307));
  server_.Route("/top/c.txt", FixtureResponse::Redirect("../final.txt", 303));
  server_.Route("/final.txt", FixtureResponse::Ok("resolved"));
  CHttpDownload download;
  Fetch(download, "/dir/a.html");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "resolved");
  EXPECT_EQ(server_.Targets(),
            (std::vector<std::string>{"/dir/a.html", "/dir/b.txt?x=1", "/top/c.txt", "/final.txt"}));
}

TEST_F(HttpDownloadTest, LongLocationIsFollowedWhole) {
  const std::string target = "/" + std::string(400, 'L') + ".txt";
  server_.Route("/start", FixtureResponse::Redirect(server_.BaseUrl() + target));
  server_.Route(target, FixtureResponse::Ok("far"));
  CHttpDownload download;
  Fetch(download, "/start");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "far");
  EXPECT_EQ(server_.CountOf(target), 1);
}

TEST_F(HttpDownloadTest, RedirectLoopEndsAfterTenWithoutWriting) {
  server_.Route("/loop", FixtureResponse::Redirect(server_.BaseUrl() + "/loop"));
  CHttpDownload download;
  Fetch(download, "/loop");
  EXPECT_EQ(server_.CountOf("/loop"), 11);
  EXPECT_FALSE(folder_.Exists("out.bin"));
}

TEST_F(HttpDownloadTest, ChainOfTenRedirectsIsFollowed) {
  for (int i = 0; i < 10; ++i) {
    server_.Route("/r" + std::to_string(i), FixtureResponse::Redirect("/r" + std::to_string(i + 1)));
  }
  server_.Route("/r10", FixtureResponse::Ok("end of chain"));
  CHttpDownload download;
  Fetch(download, "/r0");
  EXPECT_EQ(server_.Requests().size(), 11u);
  EXPECT_EQ(folder_.ReadFile("out.bin"), "end of chain");
}

TEST_F(HttpDownloadTest, NonHttpLocationEndsWithoutWriting) {
  server_.Route("/start", FixtureResponse::Redirect("https://127.0.0.1:" + std::to_string(server_.Port()) + "/f"));
  server_.Route("/f", FixtureResponse::Ok("never"));
  CHttpDownload download;
  Fetch(download, "/start");
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{"/start"}));
  EXPECT_FALSE(folder_.Exists("out.bin"));
}

TEST_F(HttpDownloadTest, RedirectWithoutLocationEndsWithoutWriting) {
  server_.Route("/start", FixtureResponse::Raw("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n"));
  CHttpDownload download;
  Fetch(download, "/start");
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_FALSE(folder_.Exists("out.bin"));
}

TEST_F(HttpDownloadTest, NotFoundWritesNothing) {
  server_.Route("/missing", FixtureResponse::Status(404, "<html>not here</html>"));
  CHttpDownload download;
  Fetch(download, "/missing");
  EXPECT_FALSE(folder_.Exists("out.bin"));
  // A file that is there already stays as it was.
  folder_.WriteFile("kept.bin", "earlier bytes");
  Fetch(download, "/missing", "kept.bin");
  EXPECT_EQ(folder_.ReadFile("kept.bin"), "earlier bytes");
  EXPECT_EQ(download.Downloaded(), 0);
}

TEST_F(HttpDownloadTest, FailedConnectWritesNothing) {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t size = sizeof address;
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(probe);
  CHttpDownload download;
  download.m_strUrl = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/f";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(WaitUntilIdle(download, 5s));
  EXPECT_FALSE(folder_.Exists("out.bin"));
}

TEST_F(HttpDownloadTest, HeaderCutByTheServerLeavesTheFileUntouched) {
  server_.Route("/cut", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nContent-Len"));
  folder_.WriteFile("out.bin", "previous");
  CHttpDownload download;
  Fetch(download, "/cut");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "previous");
}

TEST_F(HttpDownloadTest, ShortBodyKeepsTheBytesReceived) {
  FixtureResponse shortBody = FixtureResponse::Ok("0123456789abcdef");
  shortBody.contentLengthDelta = 100;  // declares 116, sends 16, closes
  server_.Route("/short", shortBody);
  CHttpDownload download;
  Fetch(download, "/short");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "0123456789abcdef");
  EXPECT_EQ(download.Downloaded(), 16);
}

TEST_F(HttpDownloadTest, BodyLongerThanDeclaredIsCutAtTheLength) {
  FixtureResponse longBody = FixtureResponse::Ok("0123456789");
  longBody.contentLengthDelta = -4;
  server_.Route("/long", longBody);
  CHttpDownload download;
  Fetch(download, "/long");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "012345");
}

TEST_F(HttpDownloadTest, CloseDelimitedBodyIsWrittenWhole) {
  const std::string body = AllBytes(3000);
  server_.Route("/stream", FixtureResponse::Raw("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body));
  CHttpDownload download;
  Fetch(download, "/stream");
  EXPECT_EQ(folder_.ReadFile("out.bin"), body);
}

TEST_F(HttpDownloadTest, ChunkedBodyIsDecoded) {
  const std::string big = AllBytes(0x1234);
  const std::string answer =
      "HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n"
      "5\r\nhello\r\n"
      "7;name=value\r\n, world\r\n"
      "1234\r\n" + big + "\r\n"
      "0\r\nX-Trailer: t\r\n\r\n";
  server_.Route("/chunked", FixtureResponse::Raw(answer));
  CHttpDownload download;
  Fetch(download, "/chunked");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "hello, world" + big);
  EXPECT_EQ(download.Downloaded(), static_cast<long>(12 + big.size()));
}

TEST_F(HttpDownloadTest, ChunkedBodyCutShortKeepsWhatCame) {
  server_.Route("/chunked", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                 "5\r\nhello\r\nA\r\nwor"));
  CHttpDownload download;
  Fetch(download, "/chunked");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "hellowor");
}

TEST_F(HttpDownloadTest, BadChunkSizeEndsTheBody) {
  server_.Route("/chunked", FixtureResponse::Raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                                 "3\r\nabc\r\nzz\r\nnever\r\n0\r\n\r\n"));
  CHttpDownload download;
  Fetch(download, "/chunked");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "abc");
}

TEST_F(HttpDownloadTest, ResumeAnsweredWithOkRestartsTheFile) {
  FixtureResponse half = FixtureResponse::Ok("0123456789");
  half.closeMidBody = true;  // sends "01234" of the declared 10
  server_.Route("/f", half);
  CHttpDownload download;
  Fetch(download, "/f");
  ASSERT_EQ(folder_.ReadFile("out.bin"), "01234");
  ASSERT_EQ(download.Downloaded(), 5);

  // The second start asks for the rest; the server ignores the range.
  server_.Route("/f", FixtureResponse::Ok("ABCDEFGHIJ"));
  Fetch(download, "/f");
  ASSERT_EQ(server_.Requests().size(), 2u);
  EXPECT_EQ(server_.Requests().at(1).Header("Range"), "bytes=5-");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "ABCDEFGHIJ");
  EXPECT_EQ(download.Downloaded(), 10);
}

TEST_F(HttpDownloadTest, ResumeAnsweredWithPartialContentContinuesTheFile) {
  FixtureResponse half = FixtureResponse::Ok("0123456789");
  half.closeMidBody = true;
  server_.Route("/f", half);
  CHttpDownload download;
  Fetch(download, "/f");
  ASSERT_EQ(folder_.ReadFile("out.bin"), "01234");

  server_.Route("/f", FixtureResponse::Raw("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 5-9/10\r\n"
                                           "Content-Length: 5\r\n\r\n56789"));
  Fetch(download, "/f");
  EXPECT_EQ(server_.Requests().at(1).Header("Range"), "bytes=5-");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "0123456789");
  EXPECT_EQ(download.Downloaded(), 10);
}

TEST_F(HttpDownloadTest, FolderThatCannotBeWrittenWritesNothing) {
  server_.Route("/f", FixtureResponse::Ok("content"));
  folder_.WriteFile("plain", "a file, not a folder");
  CHttpDownload download;
  Fetch(download, "/f", "plain/out.bin");
  EXPECT_EQ(server_.CountOf("/f"), 1);
  EXPECT_EQ(folder_.ReadFile("plain"), "a file, not a folder");
  EXPECT_EQ(download.Downloaded(), 0);
  struct stat info {};
  EXPECT_NE(::stat(folder_.File("plain/out.bin").c_str(), &info), 0);
}

TEST_F(HttpDownloadTest, MalformedUrlStartsAndEndsWithoutARequest) {
  CHttpDownload download;
  download.m_strUrl = "ftp://127.0.0.1/f";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(WaitUntilIdle(download));
  EXPECT_FALSE(folder_.Exists("out.bin"));
  EXPECT_FALSE(server_.WaitForRequests(1, 100ms));
}

TEST_F(HttpDownloadTest, StopWithoutAThreadDoesNothing) {
  CHttpDownload download;
  download.Stop();
  download.Stop();
  download.SuspendOrResume();  // nothing runs: no pause either
  EXPECT_EQ(download.GetState(), CHttpDownload::State::Idle);
  EXPECT_EQ(download.Downloaded(), 0);
  EXPECT_EQ(download.GetElapsed(), 0u);
  // Still usable afterwards.
  server_.Route("/f", FixtureResponse::Ok("after"));
  Fetch(download, "/f");
  EXPECT_EQ(folder_.ReadFile("out.bin"), "after");
}

TEST_F(HttpDownloadTest, StartWhileRunningIsRefused) {
  FixtureResponse held = FixtureResponse::Ok("once");
  held.hold = true;
  server_.Route("/f", held);
  CHttpDownload download;
  download.m_strUrl = server_.BaseUrl() + "/f";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(server_.WaitForHeld(1, 5s));
  EXPECT_FALSE(download.Start());
  server_.Release();
  ASSERT_TRUE(WaitUntilIdle(download));
  EXPECT_EQ(server_.CountOf("/f"), 1);
  EXPECT_EQ(folder_.ReadFile("out.bin"), "once");
}

TEST_F(HttpDownloadTest, SuspendPausesBetweenBlocksAndTwiceLeavesItRunning) {
  const std::string body = AllBytes(4096);
  FixtureResponse held = FixtureResponse::Ok(body, "application/octet-stream");
  held.hold = true;
  server_.Route("/f", held);
  CHttpDownload download;
  download.m_strUrl = server_.BaseUrl() + "/f";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(server_.WaitForHeld(1, 5s));

  download.SuspendOrResume();
  EXPECT_EQ(download.GetState(), CHttpDownload::State::Paused);
  server_.Release();
  // The answer has arrived, but no block is taken while paused.
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(download.Downloaded(), 0);
  EXPECT_TRUE(download.IsRunning());

  download.SuspendOrResume();
  // Running again: it may already have taken the whole body and ended.
  EXPECT_NE(download.GetState(), CHttpDownload::State::Paused);
  ASSERT_TRUE(WaitUntilIdle(download));
  EXPECT_EQ(folder_.ReadFile("out.bin"), body);
}

TEST_F(HttpDownloadTest, StopDuringAHeldBodyReturnsWithinOneSecond) {
  FixtureResponse stalled = FixtureResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nfirst bytes");
  stalled.holdOpen = true;
  server_.Route("/stall", stalled);
  CHttpDownload download;
  download.m_strUrl = server_.BaseUrl() + "/stall";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(WaitForBytes(download, 11));
  ASSERT_TRUE(server_.WaitForHeld(1, 5s));
  const auto start = std::chrono::steady_clock::now();
  download.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(download.IsRunning());
  EXPECT_EQ(folder_.ReadFile("out.bin"), "first bytes");
}

TEST_F(HttpDownloadTest, StopDuringAHeldHeaderReturnsWithinOneSecond) {
  FixtureResponse held = FixtureResponse::Ok("late");
  held.hold = true;
  server_.Route("/f", held);
  CHttpDownload download;
  download.m_strUrl = server_.BaseUrl() + "/f";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(server_.WaitForHeld(1, 5s));
  const auto start = std::chrono::steady_clock::now();
  download.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(folder_.Exists("out.bin"));
  server_.Release();
}

TEST_F(HttpDownloadTest, StopWhilePausedReturnsPromptly) {
  FixtureResponse stalled = FixtureResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nabc");
  stalled.holdOpen = true;
  server_.Route("/stall", stalled);
  CHttpDownload download;
  download.m_strUrl = server_.BaseUrl() + "/stall";
  download.m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download.Start());
  ASSERT_TRUE(WaitForBytes(download, 3));
  download.SuspendOrResume();
  const auto start = std::chrono::steady_clock::now();
  download.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(download.GetState(), CHttpDownload::State::Idle);
}

TEST_F(HttpDownloadTest, DestructorOfARunningDownloadJoinsIt) {
  FixtureResponse stalled = FixtureResponse::Raw("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nxyz");
  stalled.holdOpen = true;
  server_.Route("/stall", stalled);
  auto download = std::make_unique<CHttpDownload>();
  download->m_strUrl = server_.BaseUrl() + "/stall";
  download->m_strLocalPath = folder_.File("out.bin");
  ASSERT_TRUE(download->Start());
  ASSERT_TRUE(WaitForBytes(*download, 3));
  const auto start = std::chrono::steady_clock::now();
  download.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  // The thread is gone with the object: the file is closed and holds what came.
  EXPECT_EQ(folder_.ReadFile("out.bin"), "xyz");
}

TEST_F(HttpDownloadTest, ElapsedCountsFromTheBodyStart) {
  server_.Route("/f", FixtureResponse::Ok("x"));
  CHttpDownload download;
  EXPECT_EQ(download.GetElapsed(), 0u);
  Fetch(download, "/f");
  const std::uint32_t first = download.GetElapsed();
  std::this_thread::sleep_for(50ms);
  EXPECT_GE(download.GetElapsed(), first + 40);
}

TEST(HttpDownloadFormat, SizeTexts) {
  EXPECT_EQ(CHttpDownload::FormatSize(512), "512 b");
  EXPECT_EQ(CHttpDownload::FormatSize(0), "0 b");
  EXPECT_EQ(CHttpDownload::FormatSize(1023.9), "1023 b");
  EXPECT_EQ(CHttpDownload::FormatSize(1024), "1.00 K");
  EXPECT_EQ(CHttpDownload::FormatSize(2048), "2.00 K");
  EXPECT_EQ(CHttpDownload::FormatSize(1536), "1.50 K");
  EXPECT_EQ(CHttpDownload::FormatSize(1048575), "1024.00 K");
  EXPECT_EQ(CHttpDownload::FormatSize(1048576), "1.00 M");
  EXPECT_EQ(CHttpDownload::FormatSize(3145728), "3.00 M");
  EXPECT_EQ(CHttpDownload::FormatSize(1073741824.0), "1.00 G");
  EXPECT_EQ(CHttpDownload::FormatSize(1.5 * 1073741824.0), "1.50 G");
}

TEST(HttpDownloadUrl, ParsesHttpAddresses) {
  CHttpDownload::Url url;
  ASSERT_TRUE(CHttpDownload::ParseUrl("http://example.test:8080/a/b.txt?x=1&y=2#frag", url));
  EXPECT_EQ(url.host, "example.test");
  EXPECT_EQ(url.port, 8080);
  EXPECT_EQ(url.path, "/a/b.txt?x=1&y=2");
  ASSERT_TRUE(CHttpDownload::ParseUrl("HTTP://Example.test", url));
  EXPECT_EQ(url.host, "Example.test");
  EXPECT_EQ(url.port, 80);
  EXPECT_EQ(url.path, "/");
  ASSERT_TRUE(CHttpDownload::ParseUrl("http://h?q=1", url));
  EXPECT_EQ(url.path, "/?q=1");
  ASSERT_TRUE(CHttpDownload::ParseUrl("http://user:pw@h:81/p", url));
  EXPECT_EQ(url.host, "h");
  EXPECT_EQ(url.port, 81);
  ASSERT_TRUE(CHttpDownload::ParseUrl("http://h:/p", url));
  EXPECT_EQ(url.port, 80);
}

TEST(HttpDownloadUrl, RefusesOtherSchemesAndBadParts) {
  CHttpDownload::Url url;
  url.host = "unchanged";
  EXPECT_FALSE(CHttpDownload::ParseUrl("https://h/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("ftp://h/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http:/h/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://:80/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://h:0/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://h:65536/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://h:8x/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://[::1]/p", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://h/a b", url));
  EXPECT_FALSE(CHttpDownload::ParseUrl("http://h/a\r\nX: y", url));
  EXPECT_EQ(url.host, "unchanged");
}

TEST(HttpDownloadUrl, ResolvesLocations) {
  const std::string base = "http://h:81/dir/sub/page.html?q=1";
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "http://other/x"), "http://other/x");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "https://other/x"), "https://other/x");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "//other:82/x"), "http://other:82/x");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "/root.txt"), "http://h:81/root.txt");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "next.html"), "http://h:81/dir/sub/next.html");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "./next.html"), "http://h:81/dir/sub/next.html");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "../up.html"), "http://h:81/dir/up.html");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "../../../../top"), "http://h:81/top");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, ".."), "http://h:81/dir/");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, "?r=2"), "http://h:81/dir/sub/page.html?r=2");
  EXPECT_EQ(CHttpDownload::ResolveLocation(base, " spaced.txt "), "http://h:81/dir/sub/spaced.txt");
  EXPECT_EQ(CHttpDownload::ResolveLocation("http://h/", "a/../b"), "http://h/b");
  EXPECT_EQ(CHttpDownload::ResolveLocation("http://h", "x"), "http://h/x");
}

}  // namespace
