// The sender against a loopback fake server: the request bytes received, the transcripts of
// replies good and bad, bounded reads, refused and unresolvable hosts, and the checks before a send.

#include "testclient/sender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/testclient/fake_server.h"

namespace {

using tw::BuiltRequest;
using tw::Refusal;
using tw::SendJob;
using tw::SendReport;
using tw::TestForm;
using twtest::FakeHttpServer;

constexpr int64_t kTime = 1700000000;

TestForm Form(int apiType, uint16_t port) {
  TestForm f;
  f.host = "127.0.0.1";
  f.port = port;
  f.apiType = apiType;
  f.clientId = 1001;
  f.requestName = "ClientInfo";
  return f;
}

struct Outcome {
  std::string transcript;
  std::vector<SendReport> reports;
  int result = 0;
  SendJob job;
};

// Builds the form's sample, sends it as the dialog does and gathers the transcript.
Outcome Exchange(TestForm form) {
  Outcome o;
  BuiltRequest built;
  Refusal refusal;
  EXPECT_TRUE(tw::BuildSampleRequest(form, kTime, &built, &refusal)) << refusal.message;
  form.jsonData = built.readable;
  EXPECT_TRUE(tw::PrepareSend(form, &built, &o.job, &refusal)) << refusal.message;
  const tw::CReturnCodeArray codes = tw::CReturnCodeArray::Default();
  o.result = tw::SenderThread(o.job, [&](const SendReport& r) {
    o.reports.push_back(r);
    tw::AppendReport(r, codes, &o.transcript);
  });
  return o;
}

Outcome ExchangeWith(const std::string& reply) {
  FakeHttpServer server;
  EXPECT_TRUE(server.Start(reply));
  return Exchange(Form(2, server.port()));
}

// The transcript up to the response: connecting, the header and the body sent, the status line.
std::string SentPart(const Outcome& o, uint16_t port) {
  return "\r\n连接=>>>127.0.0.1:" + std::to_string(port) + "...\r\n发送=>>>请求头:\r\n" + o.job.header +
         "\r\n发送=>>>POST数据:\r\n" + o.job.body + "\r\n接收=<<< 服务器响应头:";
}

TEST(Sender, PostsTheHeaderAndBodyOfEachApiType) {
  const char* paths[3] = {"/cgi-bin/Tarnwick.dll", "/cgi-bin/Tarnwick.dll?DoApp", "/cgi-bin/Tarnwick.dll?DoApp"};
  const char* types[3] = {"application/x-www-form-urlencoded", "application/x-www-form-urlencoded",
                          "application/json"};
  for (int api = 0; api < 3; ++api) {
    FakeHttpServer server;
    ASSERT_TRUE(server.Start("HTTP/1.1 200 OK\r\nContent-Length: 17\r\n\r\n{\"ReturnValue\":1}"));
    Outcome o = Exchange(Form(api, server.port()));
    std::vector<std::string> got = server.Requests();
    ASSERT_EQ(got.size(), 1u);
    const std::string expectedHeader =
        std::string("POST ") + paths[api] +
        " HTTP/1.0\r\nAccept: */*\r\nHost: 127.0.0.1\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\nContent-Length: " +
        std::to_string(o.job.body.size()) + "\r\nContent-Type: " + types[api] + "\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(got[0], expectedHeader + o.job.body) << api;
    EXPECT_EQ(o.job.body.rfind(api == 0 ? "MfcISAPICommand=DoApp&d=%7B%22RequestName%22" : api == 1 ? "d=%7B%22" : "{\"", 0),
              0u);
    EXPECT_EQ(o.result, 17);
  }
}

TEST(Sender, TranscriptOfASuccessfulExchange) {
  FakeHttpServer server;
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 17\r\n\r\n";
  ASSERT_TRUE(server.Start(header + "{\"ReturnValue\":1}"));
  Outcome o = Exchange(Form(2, server.port()));
  EXPECT_EQ(o.transcript, SentPart(o, server.port()) + "\r\n" + header +
                              "\r\n接收=<<< 服务器响应实体:\r\n请求完成。响应实体:\r\n{\"ReturnValue\":1}\r\n数据提交成功！");
  std::vector<int> codes;
  for (const SendReport& r : o.reports) codes.push_back(r.code);
  EXPECT_EQ(codes, (std::vector<int>{0, 1, 2, 11, 12, 100}));
  // Each report carries the texts it shows.
  EXPECT_EQ(o.reports[1].text, o.job.header);
  EXPECT_EQ(o.reports[2].text, o.job.body);
  EXPECT_EQ(o.reports[4].text, header);
  EXPECT_EQ(o.reports[5].text, "{\"ReturnValue\":1}");
}

std::string Reply(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The part of a transcript after "请求完成。响应实体:".
std::string Verdict(const std::string& transcript) {
  const std::string mark = "请求完成。响应实体:";
  size_t at = transcript.find(mark);
  return at == std::string::npos ? "<no final report>" : transcript.substr(at + mark.size());
}

TEST(Sender, TheReturnValueDecidesTheVerdict) {
  struct Case {
    std::string reply;
    std::string verdict;
  } cases[] = {
      {Reply("{\"ReturnValue\":-731}"), "\r\n{\"ReturnValue\":-731}\r\n数据提交失败，原因:MD5 错误，不匹配"},
      {Reply("{\"ReturnValue\":-5}"), "\r\n{\"ReturnValue\":-5}\r\n数据提交失败，原因:未解析出\"RequestName\""},
      {Reply("{\"ReturnValue\":-42}"), "\r\n{\"ReturnValue\":-42}\r\n数据提交失败，原因:未知错误！"},
      // Nothing found is a failure too; a count beyond 32 bits is still a success.
      {Reply("{\"ReturnValue\":0}"), "\r\n{\"ReturnValue\":0}\r\n数据提交失败，原因:未知错误！"},
      {Reply("{\"ReturnValue\":1700000000123}"), "\r\n{\"ReturnValue\":1700000000123}\r\n数据提交成功！"},
      {Reply("not json"), "\r\nnot json\r\n数据提交失败，原因:未知错误！"},
      // UTF-8 answers are shown in GBK; "\u" escapes are shown decoded as well, a unit GBK lacks as "?".
      {Reply("{\"ReturnValue\":-2,\"cMess\":\"" + std::string("\xE8\xAE\xB0\xE5\xBD\x95") + "\"}"),
       "\r\n{\"ReturnValue\":-2,\"cMess\":\"记录\"}\r\n数据提交失败，原因:记录不存在，操作失败"},
      {Reply("{\"ReturnValue\":3,\"cMess\":\"\\u6210\\u529F\\u2603\"}"),
       "\r\n{\"ReturnValue\":3,\"cMess\":\"\\u6210\\u529F\\u2603\"}\r\n解码(json Decode):\r\n"
       "{\"ReturnValue\":3,\"cMess\":\"成功?\"}\r\n数据提交成功！"},
  };
  for (const Case& c : cases) {
    Outcome o = ExchangeWith(c.reply);
    EXPECT_EQ(Verdict(o.transcript), c.verdict) << c.reply;
    EXPECT_EQ(o.reports.back().code, tw::kSendDone);
  }
}

TEST(Sender, HeadersEndAtTheEmptyLineAndTheBodyIsBounded) {
  const std::string big(20000, 'z');
  struct Case {
    const char* what;
    std::string reply;
    std::string body;
    bool cut;
  } cases[] = {
      // A short header line is a header line, not the end of the header.
      {"short header line", "HTTP/1.1 200 OK\r\nX:\r\nContent-Length: 5\r\n\r\nhello world", "hello", false},
      {"LF line ends", "HTTP/1.0 200 OK\nContent-Length: 3\n\nabcdef", "abc", false},
      // The name is matched as written: another case does not count, the body runs to the close.
      {"lower-case length", "HTTP/1.0 200 OK\r\ncontent-length: 3\r\n\r\nabcdef", "abcdef", false},
      {"no length, closed", "HTTP/1.0 200 OK\r\n\r\nuntil the close", "until the close", false},
      {"zero length", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nstill read", "still read", false},
      {"no length, long", "HTTP/1.0 200 OK\r\n\r\n" + big, big.substr(0, 15999), true},
      {"announced beyond the room", "HTTP/1.0 200 OK\r\nContent-Length: 20000\r\n\r\n" + big, big.substr(0, 15999),
       true},
      {"exactly the room", "HTTP/1.0 200 OK\r\n\r\n" + big.substr(0, 15999), big.substr(0, 15999), false},
      {"announced exactly the room", "HTTP/1.0 200 OK\r\nContent-Length: 15999\r\n\r\n" + big,
       big.substr(0, 15999), false},
  };
  for (const Case& c : cases) {
    Outcome o = ExchangeWith(c.reply);
    ASSERT_EQ(o.reports.back().code, tw::kSendDone) << c.what;
    EXPECT_EQ(o.reports.back().text, c.body) << c.what;
    EXPECT_EQ(o.reports.back().truncated, c.cut) << c.what;
    EXPECT_EQ(o.result, static_cast<int>(c.body.size())) << c.what;
    EXPECT_EQ(o.transcript.find("截断") != std::string::npos, c.cut) << c.what;
    if (c.cut) {
      EXPECT_NE(o.transcript.find(c.body + "\r\n…(响应实体已截断)\r\n数据提交失败"), std::string::npos) << c.what;
    }
  }
}

TEST(Sender, AStatusWithout200ShowsTheHeaderAndNoBody) {
  struct Case {
    std::string reply;
    std::string header;
  } cases[] = {
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\n"},
      {"HTTP/1.1 413 Too Large\r\n\r\n", "HTTP/1.1 413 Too Large\r\n\r\n"},
      {"", ""},  // closed without a word
      {"garbage", "garbage"},
  };
  for (const Case& c : cases) {
    FakeHttpServer server;
    ASSERT_TRUE(server.Start(c.reply));
    Outcome o = Exchange(Form(2, server.port()));
    EXPECT_EQ(o.transcript, SentPart(o, server.port()) + "\r\n失败响应头:\r\n" + c.header) << c.reply;
    EXPECT_EQ(o.reports.back().code, tw::kSendBadStatus);
    EXPECT_EQ(o.result, 0);
  }
}

TEST(Sender, RefusedConnectionAndUnknownHost) {
  twtest::RefusedPort refused;
  ASSERT_NE(refused.port(), 0);
  Outcome o = Exchange(Form(2, refused.port()));
  EXPECT_EQ(o.transcript, "\r\n连接=>>>127.0.0.1:" + std::to_string(refused.port()) + "...\r\n连接服务器失败!");
  EXPECT_EQ(o.result, tw::kSendConnectFailed);

  // A name with an empty label is refused by the resolver itself, without asking a name server.
  TestForm f = Form(2, 80);
  f.host = "no..such.host";
  o = Exchange(f);
  EXPECT_EQ(o.transcript, "\r\n域名解析失败。");
  EXPECT_EQ(o.result, tw::kSendResolveFailed);
  EXPECT_EQ(o.reports.size(), 1u);
}

TEST(Sender, ChecksBeforeSending) {
  struct Case {
    const char* host;
    int port;
    const char* data;
    const char* message;
    tw::FormField field;
  } cases[] = {
      {"127.0.0.1", 80, "", "没有准备JSON数据!\r\n先点击“JSON样例(Example)>>>”", tw::FormField::kJsonData},
      {"127.0.0.1", 80, "  {\"a\":12}  ", "没有准备JSON数据!\r\n先点击“JSON样例(Example)>>>”",
       tw::FormField::kJsonData},  // nine characters once trimmed
      {" \t", 80, "{\"a\":123}x", "服务器(Host)不能为空！", tw::FormField::kHost},
      {"127.0.0.1", 0, "{\"a\":123}x", "端口(Port)无效！", tw::FormField::kPort},
      {"127.0.0.1", 65536, "{\"a\":123}x", "端口(Port)无效！", tw::FormField::kPort},
      {"127.0.0.1", -80, "{\"a\":123}x", "端口(Port)无效！", tw::FormField::kPort},
      {" 127.0.0.1 ", 65535, "{\"a\":123}x", "", tw::FormField::kNone},
  };
  for (const Case& c : cases) {
    TestForm f = Form(2, 0);
    f.host = c.host;
    f.port = c.port;
    f.jsonData = c.data;
    SendJob job;
    Refusal refusal;
    EXPECT_EQ(tw::PrepareSend(f, nullptr, &job, &refusal), *c.message == '\0') << c.message;
    EXPECT_EQ(refusal.message, c.message);
    EXPECT_EQ(refusal.field, c.field) << c.message;
    if (*c.message == '\0') {
      EXPECT_EQ(job.host, "127.0.0.1");
      EXPECT_EQ(job.body, "{\"a\":123}x");
    }
  }
}

TEST(Sender, TheJsonDataEditDecidesTheBody) {
  TestForm f = Form(2, 80);
  BuiltRequest built;
  built.json = "{\"RequestName\":\"DoIDCardPicSet\",\"vPic1\":\"QUJD+/==\"}";
  built.readable = "{\"RequestName\":\"DoIDCardPicSet\",\"vPic1\":\"xx...\"}";
  struct Case {
    int apiType;
    std::string edit;
    std::string body;
  } cases[] = {
      // The unchanged sample posts its pictures, in the shape of the API type chosen now.
      {2, built.readable, built.json},
      {2, "\r\n" + built.readable + "  ", built.json},
      {1, built.readable, "d=%7B%22RequestName%22%3A%22DoIDCardPicSet%22%2C%22vPic1%22%3A%22QUJD%2B%2F%3D%3D%22%7D"},
      // An edited text is posted as typed.
      {2, "{\"RequestName\":\"ClientInfo\"}", "{\"RequestName\":\"ClientInfo\"}"},
      {0, "{\"a\":\"b c\"}", "MfcISAPICommand=DoApp&d=%7B%22a%22%3A%22b+c%22%7D"},
  };
  for (const Case& c : cases) {
    f.apiType = c.apiType;
    f.jsonData = c.edit;
    SendJob job;
    Refusal refusal;
    ASSERT_TRUE(tw::PrepareSend(f, &built, &job, &refusal)) << refusal.message;
    EXPECT_EQ(job.body, c.body);
  }
  // A text whose encoded form would not fit the request buffer is refused, not sent empty.
  f.apiType = 1;
  f.jsonData = std::string(700000, '"');
  SendJob job;
  Refusal refusal;
  EXPECT_FALSE(tw::PrepareSend(f, nullptr, &job, &refusal));
  EXPECT_EQ(refusal.message, "请求数据太长，超出了请求缓冲区！");
  f.apiType = 2;
  EXPECT_TRUE(tw::PrepareSend(f, nullptr, &job, &refusal));
}

TEST(Sender, DecodeUnicodeEscapes) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"\\u4E2D\\u6587", "中文"},
      {"a\\u0041b", "aAb"},
      {"\\u20AC", "\x80"},
      {"\\uD83D\\uDE00", "??"},
      {"\\u12", "\\u12"},        // too short
      {"\\uXYZW", "\\uXYZW"},    // not hex
      {"中\\u6587", "中文"},      // a two-byte character is never part of an escape
      {"\\\\u4E2D", "\\\\u4E2D"},  // an escaped backslash, then text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tw::DecodeUnicodeEscapes(c.in), c.out) << c.in;
  }
}

}  // namespace
