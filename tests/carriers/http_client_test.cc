// The outgoing HTTP client against the fake carrier server on 127.0.0.1: the request bytes it sends,
// every body framing and coding it reads, the statuses it refuses, keep-alive, expect-continue and
// the bounds on time and space that keep a bad peer from holding or overrunning a request.

#include "carriers/http_client.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/pool.h"
#include "tests/support/fake_carrier.h"

namespace {

using twtest::FakeCarrierServer;
using twtest::FakeReply;
using twtest::NowMs;

// A work buffer with the header area 30000 bytes in, as the carrier clients lay it out.
struct Call {
  std::vector<char> work = std::vector<char>(65536, 'x');
  HttpRequest r;
  explicit Call(uint16_t port, const char* path = "/x") {
    r.host = "127.0.0.1";
    r.port = port;
    r.path = path;
    r.work = work.data();
    r.workSize = static_cast<int32_t>(work.size());
    r.headerBuffer = work.data() + 30000;
    r.headerRoom = 30000;
    r.connectTimeoutS = 2;
    r.recvTimeoutMs = 2000;
    r.sendTimeoutMs = 2000;
  }
  std::string Body(int n) const { return n >= 0 ? std::string(r.bodyStart, static_cast<size_t>(n)) : ""; }
};

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + (i * 7) % 26);
  return s;
}

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.Start()); }
  FakeCarrierServer server;
};

TEST_F(HttpClientTest, ReadsEveryBodyFraming) {
  const std::string pdf = "%PDF-1.4\n" + Pattern(5000);
  struct Case {
    const char* what;
    FakeReply reply;
    std::string body;
  };
  FakeReply untilClose =
      FakeReply::Raw("HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\n\r\n" + pdf);
  FakeReply lfOnly = FakeReply::Raw("HTTP/1.0 200 OK\nContent-Length: 5\n\nhello");
  std::string eight;
  for (int i = 0; i < 8; ++i) eight += "HTTP/1.1 100 Continue\r\n\r\n";
  const Case cases[] = {
      {"eight interim blocks, then the reply", FakeReply::Raw(eight + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
       "ok"},
      {"Content-Length", FakeReply::Ok(pdf, "application/pdf"), pdf},
      {"chunked, several chunks", FakeReply::Chunked(pdf, {1, 100, 4000}), pdf},
      {"chunked, size line with extension", FakeReply::Chunked("hello", {5}, ";name=ab"), "hello"},
      {"until the peer closes", untilClose, pdf},
      {"gzip", FakeReply::Gzip(pdf), pdf},
      {"gzip with a file name in its header", FakeReply::Gzip(pdf, "label.pdf"), pdf},
      {"deflate, zlib-wrapped", FakeReply::Deflate(pdf, true), pdf},
      {"deflate, raw", FakeReply::Deflate(pdf, false), pdf},
      {"LF-only line ends", lfOnly, "hello"},
      {"a 500 is read like a success", FakeReply::Ok("<fault/>", "text/xml", 500), "<fault/>"},
      {"a 100 block, then the reply", FakeReply::Raw("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n"
                                                     "Content-Length: 2\r\n\r\nok"),
       "ok"},
  };
  for (const Case& c : cases) {
    server.Script("GET", "/x", {c.reply});
    Call call(server.port());
    call.r.bAcceptEncoding = 1;
    int n = HttpExecute(call.r);
    EXPECT_EQ(n, static_cast<int>(c.body.size())) << c.what;
    EXPECT_EQ(call.Body(n), c.body) << c.what;
    if (n >= 0) {
      EXPECT_EQ(call.r.bodyStart[n], '\0') << c.what;
      EXPECT_EQ(call.r.contentLength, n) << c.what;
    }
  }
}

TEST_F(HttpClientTest, ContentLengthZeroAnswersNoText) {
  server.Script("GET", "/x", {FakeReply::Ok("")});
  Call call(server.port());
  EXPECT_EQ(HttpExecute(call.r), 0);
  EXPECT_EQ(call.r.status, 200);
}

TEST_F(HttpClientTest, RefusesBadRepliesAndCutBodies) {
  const std::string big = Pattern(40000);
  std::string cutChunk = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100\r\nshort";
  struct Case {
    const char* what;
    std::string raw;
    int expected;
  };
  const Case cases[] = {
      {"404 is refused", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!", kHttpRefused},
      {"status 99", "HTTP/1.1 99 Odd\r\nContent-Length: 0\r\n\r\n", kHttpRefused},
      {"status 1000", "HTTP/1.1 1000 Odd\r\nContent-Length: 0\r\n\r\n", kHttpRefused},
      {"no status line", "hello there\r\n\r\n", kHttpRefused},
      {"Content-Length cut short by a close", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this", kHttpCut},
      {"chunk cut short by a close", cutChunk, kHttpCut},
      {"no final chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", kHttpCut},
      {"chunk without its CR LF", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcX\r\n0\r\n\r\n",
       kHttpCut},
      {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n",
       kHttpRefused},
      {"negative Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", kHttpRefused},
      {"Content-Length beyond int", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\nabc", kHttpRefused},
      {"Content-Length not a number", "HTTP/1.1 200 OK\r\nContent-Length: ten\r\n\r\nabc", kHttpRefused},
      {"Content-Length equal to the room", "HTTP/1.1 200 OK\r\nContent-Length: 65536\r\n\r\n" + big,
       kHttpTooLarge},
      {"chunks beyond the room",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n9c40\r\n" + big + "\r\n9c40\r\n" + big + "\r\n0\r\n\r\n",
       kHttpTooLarge},
      {"header block over the header area", "HTTP/1.1 200 OK\r\nX-Pad: " + big + "\r\n\r\n", kHttpRefused},
      {"nine interim blocks", [] {
         std::string raw;
         for (int i = 0; i < 9; ++i) raw += "HTTP/1.1 100 Continue\r\n\r\n";
         return raw + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
       }(),
       kHttpRefused},
      {"gzip that is not gzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 9\r\n\r\nnot gzip!",
       kHttpInflate},
  };
  for (const Case& c : cases) {
    server.Script("GET", "/x", {FakeReply::Raw(c.raw)});
    Call call(server.port());
    EXPECT_EQ(HttpExecute(call.r), c.expected) << c.what;
    EXPECT_EQ(call.r.socket, -1) << c.what;
  }
}

TEST_F(HttpClientTest, HeaderNamesMatchOnlyAtTheLineStart) {
  // Names that hold another header's name must not be taken for it.
  server.Script("GET", "/x",
                {FakeReply::Raw("HTTP/1.1 200 OK\r\nX-Content-Type-Options: nosniff\r\nProxy-Connection: close\r\n"
                                "X-Original-Content-Length: 2\r\nA:\r\ncontent-type: application/pdf\r\n"
                                "Content-Length: 11\r\n\r\nhello world")});
  Call call(server.port());
  call.r.SetKeepAlive(60000);
  ASSERT_EQ(HttpExecute(call.r), 11);
  EXPECT_STREQ(call.r.contentType, "application/pdf");
  EXPECT_EQ(call.Body(11), "hello world");
  // "Proxy-Connection: close" is not "Connection: close", but the fake closes anyway; what counts is
  // that the flag was not cleared by the wrong line.
  EXPECT_EQ(call.r.bServerKeeps, 1);
  call.r.CloseConnection();
}

TEST_F(HttpClientTest, SendsTheBuiltHeaderAndBody) {
  server.Script("POST", "/ay/service.asmx/ayorder", {FakeReply::Ok("<r/>")});
  Call call(server.port(), "/ay/service.asmx/ayorder");
  call.r.bAcceptEncoding = 1;
  call.r.body = "order=%3Cx%3E";
  call.r.extraLines = "Authorization: key-1\r\n";
  char cookies[256] = "sid=1; ";
  call.r.cookies = cookies;
  call.r.cookieCapacity = sizeof cookies;
  ASSERT_EQ(HttpExecute(call.r), 4);
  ASSERT_EQ(server.RequestCount(), 1u);
  const std::string expected =
      "POST /ay/service.asmx/ayorder HTTP/1.1\r\n" + std::string(GetDefaultAcceptHeader()) +
      "Accept-Language: zh-cn\r\nAccept-Encoding: gzip, deflate\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
      "\r\nAuthorization: key-1\r\n" + GetUserAgentHeader(0) +
      "Content-Length: 13\r\nContent-Type: application/x-www-form-urlencoded\r\nCache-Control: no-cache\r\n"
      "Connection: Close\r\nCookie: sid=1\r\n\r\norder=%3Cx%3E";
  EXPECT_EQ(server.Requests()[0].Raw(), expected);
}

TEST(HttpHeaderTest, HostOmitsOnlyPort80) {
  char out[4096];
  HttpRequest r;
  r.host = "labels.example";
  r.path = "/a.pdf";
  r.userAgent = 1;
  r.bEnglish = 1;
  r.ajax = 1;
  r.acceptLine = "Accept: */*\r\n";
  for (int port : {80, 0, 8080}) {
    r.port = port;
    const std::string host = port == 8080 ? "Host: labels.example:8080\r\n" : "Host: labels.example\r\n";
    EXPECT_EQ(std::string(r.BuildHeader(out, sizeof out)),
              "GET /a.pdf HTTP/1.1\r\nx-requested-with: XMLHttpRequest\r\nAccept: */*\r\nAccept-Language: en-us\r\n" +
                  host + GetUserAgentHeader(1) + "Connection: Close\r\n\r\n")
        << port;
  }
  // A header that does not fit the work buffer is not sent half-built.
  std::string longPath(5000, 'p');
  r.path = longPath.c_str();
  EXPECT_EQ(r.BuildHeader(out, sizeof out), nullptr);
}

TEST_F(HttpClientTest, MergesCookiesOfTheReply) {
  server.Script("GET", "/x", {FakeReply::Ok("ok", "text/plain", 200,
                                            "Set-Cookie: sid=new; Path=/\r\nSet-Cookie: lang=zh\r\n")});
  Call call(server.port());
  char cookies[256] = "sid=old;keep=1";
  call.r.cookies = cookies;
  call.r.cookieCapacity = sizeof cookies;
  ASSERT_EQ(HttpExecute(call.r), 2);
  EXPECT_STREQ(cookies, "sid=new;lang=zh;keep=1");
}

TEST_F(HttpClientTest, KeepAliveReusesTheSocketWithinTheIdleLimit) {
  FakeReply keep = FakeReply::Ok("one", "text/plain");
  keep.keepOpen = true;
  server.Script("GET", "/x", {keep});
  Call call(server.port());
  call.r.SetKeepAlive(60000);
  ASSERT_EQ(HttpExecute(call.r), 3);
  EXPECT_GE(call.r.socket, 0);
  ASSERT_EQ(HttpExecute(call.r), 3);
  EXPECT_EQ(server.Connections(), 1u);
  EXPECT_EQ(server.RequestCount(), 2u);
  // Past the idle limit the kept socket is closed and a new one opened.
  call.r.idleLimitMs = 0;
  call.r.lastUse -= 1000;
  ASSERT_EQ(HttpExecute(call.r), 3);
  EXPECT_EQ(server.Connections(), 2u);
  call.r.CloseConnection();
  EXPECT_EQ(call.r.socket, -1);
}

TEST_F(HttpClientTest, ExpectContinue) {
  struct Case {
    const char* what;
    bool sendContinue;
    bool replyBeforeBody;
    bool bodyArrives;
    int64_t minMs, maxMs;
  };
  const Case cases[] = {
      {"interim reply: the body goes at once", true, false, true, 0, 1500},
      {"no interim reply: the body goes after the wait", false, false, true, 1800, 4000},
      {"a final reply instead: the body is not sent", false, true, false, 0, 1500},
  };
  for (const Case& c : cases) {
    server.Clear();
    FakeReply reply = FakeReply::Ok("<ok/>");
    reply.sendContinue = c.sendContinue;
    reply.replyBeforeBody = c.replyBeforeBody;
    server.Script("POST", "/ws", {reply});
    Call call(server.port(), "/ws");
    call.r.body = "<soap/>";
    call.r.bExpectContinue = 1;
    const int64_t t0 = NowMs();
    EXPECT_EQ(HttpExecute(call.r), 5) << c.what;
    const int64_t took = NowMs() - t0;
    EXPECT_GE(took, c.minMs) << c.what;
    EXPECT_LT(took, c.maxMs) << c.what;
    ASSERT_EQ(server.RequestCount(), 1u) << c.what;
    EXPECT_EQ(server.Requests()[0].Header("Expect"), "100-continue") << c.what;
    if (c.bodyArrives) {
      EXPECT_EQ(server.Requests()[0].body, "<soap/>") << c.what;
    }
  }
}

// Peers that stall: one that sends nothing for delayMs, one that sends its reply a byte every dripMs.
struct StallCase {
  const char* what;
  FakeReply reply;
};
std::vector<StallCase> StallingPeers(int delayMs, int dripMs) {
  FakeReply stall = FakeReply::Ok("late");
  stall.delayMs = delayMs;
  FakeReply drip = FakeReply::Ok(Pattern(2000));
  drip.dripMs = dripMs;
  return {{"no reply", stall}, {"a byte at a time", drip}};
}

TEST_F(HttpClientTest, StallingPeersAreBoundedByTheTimeOuts) {
  // each byte well within the receive time-out
  for (const StallCase& c : StallingPeers(3000, 20)) {
    server.Script("GET", "/x", {c.reply});
    Call call(server.port());
    call.r.connectTimeoutS = 1;
    call.r.recvTimeoutMs = 300;
    const int64_t t0 = NowMs();
    EXPECT_LT(HttpExecute(call.r), 0) << c.what;
    // connect time-out + 2 x receive time-out, with some slack for the machine
    EXPECT_LT(NowMs() - t0, 2400) << c.what;
  }
}

// The stop flag cuts a call that waits on a stalled peer within a slice of its waits, whatever its
// time-outs; a call begun while stopping is not made.
TEST_F(HttpClientTest, StopCutsTheCallsInFlight) {
  // each byte within the receive time-out, the whole far beyond the test
  for (const StallCase& c : StallingPeers(60000, 500)) {
    server.Script("GET", "/x", {c.reply});
    Call call(server.port());
    call.r.connectTimeoutS = 20;
    call.r.recvTimeoutMs = 30000;
    std::thread stopper([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      g_bStopping.store(1);
    });
    const int64_t t0 = NowMs();
    EXPECT_EQ(HttpExecute(call.r), kHttpStopped) << c.what;
    EXPECT_LT(NowMs() - t0, 5000) << c.what;
    stopper.join();
    const size_t before = server.RequestCount();
    Call late(server.port());
    EXPECT_EQ(HttpExecute(late.r), kHttpStopped) << c.what;
    EXPECT_EQ(server.RequestCount(), before) << c.what;
    g_bStopping.store(0);
  }
}

TEST(HttpConnectTest, RefusedAndUnresolved) {
  FakeCarrierServer closed;
  ASSERT_TRUE(closed.Start());
  const uint16_t port = closed.port();
  closed.Stop();  // nothing listens there now
  std::vector<char> work(8192);
  HttpRequest r;
  r.host = "127.0.0.1";
  r.port = port;
  r.path = "/";
  r.work = r.headerBuffer = work.data();
  r.workSize = static_cast<int32_t>(work.size());
  r.connectTimeoutS = 2;
  EXPECT_EQ(HttpExecute(r), kHttpNotConnected);
  r.host = "no-such-host.invalid";
  EXPECT_EQ(HttpExecute(r), kHttpNoHost);
  r.workSize = 4095;
  EXPECT_EQ(HttpExecute(r), kHttpWorkTooSmall);
  r.workSize = 8192;
  r.path = nullptr;
  EXPECT_EQ(HttpExecute(r), kHttpNoPath);
  r.path = "/";
  r.state = 1;
  EXPECT_EQ(HttpExecute(r), kHttpStateSet);
  r.state = 0;
  r.host = nullptr;
  EXPECT_EQ(HttpExecute(r), kHttpNoBuffer);
}

TEST_F(HttpClientTest, HeaderInTheWorkBufferPutsTheBodyAfterIt) {
  server.Script("GET", "/x", {FakeReply::Ok("body text", "text/plain")});
  std::vector<char> work(8192);
  HttpRequest r;
  r.host = "127.0.0.1";
  r.port = server.port();
  r.path = "/x";
  r.work = r.headerBuffer = work.data();
  r.workSize = static_cast<int32_t>(work.size());
  ASSERT_EQ(HttpExecute(r), 9);
  EXPECT_EQ(std::string(work.data(), 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(std::string(r.bodyStart), "body text");
  EXPECT_GT(r.bodyStart, work.data());
}

TEST(ChunkSizeTest, ParsesFromTheStart) {
  const struct {
    const char* line;
    long size;
  } cases[] = {{"5", 5}, {"5;x=ab", 5}, {"1a2B", 0x1a2b}, {"0", 0}, {"ff \r", 255},
               {"", -1}, {"x5", -1}, {"5x", -1}, {"80000000", -1}};
  for (const auto& c : cases) EXPECT_EQ(ParseChunkSize(c.line), c.size) << c.line;
}

}  // namespace
