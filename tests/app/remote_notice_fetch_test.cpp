// The notice fetch against the fixture server: headers, fallbacks, time-outs, the cap,
// the worker and its abort.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "../support/fixture_http_server.h"
#include "../support/temp_program_folder.h"
#include "app/remote_notice.h"
#include "platform/page_registry.h"
#include "platform/worker_registry.h"

namespace {

using namespace std::chrono_literals;

const char* const kNotice =
    "Program notice\r\n[Program]\r\nversion=26;\r\nwebsite=http://up.example.com/;\r\n"
    "[Advertisement]\r\nnumber=2;\r\nwebsite1=http://a.example.com/1;\r\nwebsite2=http://a.example.com/2;\r\n";

class NoticeFetchTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(server_.Port(), 0);
    server_.Route("/good", FixtureResponse::Ok(kNotice, "text/plain"));
    WorkerRegistry::Instance().Restart();
  }
  std::string Url(const std::string& path) const { return server_.BaseUrl() + path; }
  NoticeFetchOptions Short() const {
    NoticeFetchOptions options;
    options.connectTimeout = 500ms;
    options.totalTimeout = 600ms;
    return options;
  }
  // The first address fails as set up; the second must be the one used.
  void ExpectFallback(const std::string& firstPath) {
    const NoticeFetchResult result = FetchNotice({Url(firstPath), Url("/good"), ""}, Short());
    EXPECT_EQ(result.code, 0) << firstPath;
    EXPECT_EQ(result.addressIndex, 2) << firstPath;
    EXPECT_EQ(result.requests, 2) << firstPath;
    EXPECT_EQ(result.text.find("rogram notice"), 0u);
  }

  TempProgramFolder folder_;  // the debug log goes here
  FixtureHttpServer server_;
};

TEST_F(NoticeFetchTest, SendsNoCacheAndJoinsLines) {
  std::string text;
  ASSERT_EQ(FetchUrlText(Url("/good"), text, Short()), 0);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.substr(0, 20), "rogram notice[Progra");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Header("Cache-Control"), "no-cache");
  EXPECT_EQ(requests[0].Header("Pragma"), "no-cache");
  const RemoteConfig config = ParseRemoteConfig(text);
  EXPECT_TRUE(config.newer);
  EXPECT_EQ(config.pages.size(), 2u);
}

TEST_F(NoticeFetchTest, FirstAddressFailuresFallBackToTheSecond) {
  server_.Route("/404", FixtureResponse::Status(404, kNotice));
  ExpectFallback("/404");
  server_.Route("/500", FixtureResponse::Status(500, kNotice));
  ExpectFallback("/500");
  FixtureResponse slow = FixtureResponse::Ok(kNotice);
  slow.delay = 3000ms;
  server_.Route("/slow", slow);
  const auto started = std::chrono::steady_clock::now();
  ExpectFallback("/slow");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 2500ms);
  server_.Route("/to-file", FixtureResponse::Redirect("file:///etc/hostname"));
  ExpectFallback("/to-file");
  server_.Route("/big", FixtureResponse::Ok("Program" + std::string(kNoticeBodyCap + 1, 'x')));
  ExpectFallback("/big");
  server_.Route("/empty", FixtureResponse::Ok("no notice here"));
  ExpectFallback("/empty");
}

TEST_F(NoticeFetchTest, BodyAtTheCapIsTaken) {
  std::string body = std::string(kNotice);
  body += std::string(kNoticeBodyCap - body.size(), ' ');
  server_.Route("/cap", FixtureResponse::Ok(body));
  std::string text;
  EXPECT_EQ(FetchUrlText(Url("/cap"), text, Short()), 0);
}

TEST_F(NoticeFetchTest, ResultCodes) {
  std::string text = "unchanged";
  server_.Route("/plain", FixtureResponse::Ok("just words"));
  EXPECT_EQ(FetchUrlText(Url("/plain"), text, Short()), -2);
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(FetchUrlText(Url("/nowhere"), text, Short()), -1);  // 404
  // Not a web address: refused before any request.
  server_.ClearLog();
  EXPECT_EQ(FetchUrlText("file:///etc/hostname", text, Short()), -1);
  EXPECT_EQ(FetchUrlText("javascript:alert(1)", text, Short()), -1);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_NE(folder_.ReadFile("DebugLog.txt").find("not a web address, not requested: file:///etc/hostname"),
            std::string::npos);
}

TEST_F(NoticeFetchTest, BothFailingGivesNoText) {
  const NoticeFetchResult result = FetchNotice({Url("/a404"), Url("/b404"), ""}, Short());
  EXPECT_EQ(result.code, -1);
  EXPECT_EQ(result.addressIndex, 0);
  EXPECT_TRUE(result.text.empty());
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{"/a404", "/b404"}));
  // Server gone: connection refused on both.
  const std::string first = Url("/good");
  server_.Stop();
  EXPECT_EQ(FetchNotice({first, first, ""}, Short()).code, -1);
}

TEST_F(NoticeFetchTest, EmptyAddressesMakeNoRequest) {
  const NoticeFetchResult none = FetchNotice({"", "", "http://up.example.com/"}, Short());
  EXPECT_EQ(none.requests, 0);
  EXPECT_EQ(none.code, -1);
  EXPECT_FALSE(StartNoticeCheck({"", "", ""}, Short(), [](const NoticeFetchResult&) { FAIL(); }));
  EXPECT_FALSE(WorkerRegistry::Instance().IsRunning(kNoticeWorkerName));
  // Only the second set: one request, to it.
  const NoticeFetchResult second = FetchNotice({"", Url("/good"), ""}, Short());
  EXPECT_EQ(second.addressIndex, 2);
  EXPECT_EQ(second.requests, 1);
  EXPECT_EQ(server_.Targets(), (std::vector<std::string>{"/good"}));
}

TEST_F(NoticeFetchTest, WorkerDeliversThroughTheDispatcher) {
  InlineUiDispatcher dispatcher;
  PageRegistry::Instance().Restart(&dispatcher);
  std::atomic<int> delivered{0};
  std::atomic<bool> onWorker{false};
  const std::thread::id test = std::this_thread::get_id();
  ASSERT_TRUE(StartNoticeCheck({Url("/good"), "", ""}, Short(), [&](const NoticeFetchResult& result) {
    onWorker = std::this_thread::get_id() != test;
    if (result.code == 0 && result.text.find("[Program]") != std::string::npos) ++delivered;
  }));
  EXPECT_TRUE(WorkerRegistry::Instance().WaitFor(kNoticeWorkerName, 5000ms));
  EXPECT_EQ(delivered.load(), 1);
  EXPECT_TRUE(onWorker.load());  // the inline dispatcher runs it where it is called
  EXPECT_EQ(dispatcher.RunCount(), 1);
  PageRegistry::Instance().ResetForTests();
}

TEST_F(NoticeFetchTest, StoppingAbortsAPendingFetch) {
  InlineUiDispatcher dispatcher;
  PageRegistry::Instance().Restart(&dispatcher);
  FixtureResponse held = FixtureResponse::Ok(kNotice);
  held.hold = true;
  server_.Route("/held", held);
  std::atomic<int> delivered{0};
  NoticeFetchOptions options;  // the real 20 s bound
  ASSERT_TRUE(StartNoticeCheck({Url("/held"), Url("/good"), ""}, options,
                               [&](const NoticeFetchResult&) { ++delivered; }));
  ASSERT_TRUE(server_.WaitForHeld(1, 5000ms));
  const auto asked = std::chrono::steady_clock::now();
  WorkerRegistry::Instance().RequestStop(kNoticeWorkerName);
  EXPECT_TRUE(WorkerRegistry::Instance().WaitFor(kNoticeWorkerName, 1000ms));
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 1000ms);
  server_.Release();
  EXPECT_EQ(delivered.load(), 0);  // an aborted check delivers nothing
  EXPECT_EQ(server_.CountOf("/good"), 0);  // and tries no fallback
  PageRegistry::Instance().ResetForTests();
}

}  // namespace
