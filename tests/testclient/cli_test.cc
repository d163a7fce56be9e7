// The command line: each subcommand's output (UTF-8, CR LF) and exit code, options over the
// settings record, and the program itself.

#include "testclient/cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testclient/form.h"
#include "testclient/settings.h"
#include "tests/testclient/fake_server.h"
#include "tests/testclient/settings_bytes.h"
#include "util/md5.h"

namespace {

using twtest::FakeHttpServer;

struct CliRun {
  int code = -1;
  std::string out;  // UTF-8
  std::string err;
};

// Runs a subcommand in this process with the clock pinned. Arguments are GBK (the test's literals)
// and reach the command line as the UTF-8 a shell passes.
CliRun Cli(std::vector<std::string> args) {
  setenv("TARNWICK_TESTCLIENT_TIME", "1700000000", 1);
  for (std::string& a : args) a = tw::GbkToUtf8String(a);
  CliRun r;
  r.code = tw::RunTestClientCommand(args, [&r](const std::string& text, bool error) {
    (error ? r.err : r.out) += text;
  });
  return r;
}

std::string Utf8(const std::string& gbk) { return tw::GbkToUtf8String(gbk); }

std::string TempFile(const std::string& bytes) {
  char tmpl[] = "/tmp/tw-testclient-cli.XXXXXX";
  int fd = mkstemp(tmpl);
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
  return tmpl;
}

std::string ReadFile(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

TEST(CommandLine, BuildPrintsTheSignatureLineAndTheBody) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
    int code;
  } cases[] = {
      {{"build"}, "MD5: \r\n{\"RequestName\":\"TimeStamp\"}", 0},
      {{"build", "--api", "1", "--request", "EmsKindList"}, "MD5: \r\nd=%7B%22RequestName%22%3A%22EmsKindList%22%7D", 0},
      {{"build", "--request", "DoGetNo", "--icid", "1001", "--kind", "EMS国际"},
       "MD5: 47869a556eda394518c301235e95666f\r\n{\"RequestName\":\"DoGetNo\",\"icID\":1001,"
       "\"TimeStamp\":1700000000000,\"MD5\":\"47869a556eda394518c301235e95666f\",\"cEmsKind\":\"EMS\\u56FD\\u9645\"}",
       0},
      // Refusals print the dialog's message and send nothing.
      {{"build", "--request", "ClientInfo", "--key", "", "--icid", "5"}, Utf8("密钥不能为空！\r\n"), 2},
      {{"build", "--request", "ClientInfo"}, Utf8("客户ID必须大于零！\r\n"), 2},
      {{"build", "--request", "DoIDCardPicSet", "--icid", "5"}, Utf8("请先选择身份证正面图片文件！\r\n"), 2},
  };
  for (const Case& c : cases) {
    CliRun r = Cli(c.args);
    EXPECT_EQ(r.out, c.out) << c.args.back();
    EXPECT_EQ(r.code, c.code) << c.args.back();
  }
}

TEST(CommandLine, SendExitsByTheLastReport) {
  FakeHttpServer ok, denied, notFound;
  ASSERT_TRUE(ok.Start("HTTP/1.0 200 OK\r\nContent-Length: 17\r\n\r\n{\"ReturnValue\":1}"));
  ASSERT_TRUE(denied.Start("HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n{\"ReturnValue\":-731}"));
  ASSERT_TRUE(notFound.Start("HTTP/1.0 404 Not Found\r\n\r\n"));
  twtest::RefusedPort refused;
  auto send = [](uint16_t port, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"send", "--host", "127.0.0.1", "--port", std::to_string(port)};
    args.insert(args.end(), more.begin(), more.end());
    return Cli(args);
  };
  struct Case {
    const char* what;
    CliRun run;
    int code;
    std::string tail;
  } cases[] = {
      {"success", send(ok.port()), 0, Utf8("{\"ReturnValue\":1}\r\n数据提交成功！\r\n")},
      // A refusal of the server is still a finished exchange.
      {"refused by the server", send(denied.port()), 0,
       Utf8("{\"ReturnValue\":-731}\r\n数据提交失败，原因:MD5 错误，不匹配\r\n")},
      {"status 404", send(notFound.port()), 1, Utf8("失败响应头:\r\nHTTP/1.0 404 Not Found\r\n\r\n\r\n")},
      {"connection refused", send(refused.port()), 1, Utf8("连接服务器失败!\r\n")},
      {"port 0", send(0), 2, Utf8("端口(Port)无效！\r\n")},
      {"no key", send(ok.port(), {"--request", "PreInputSet", "--icid", "3", "--key", ""}), 2,
       Utf8("密钥不能为空！\r\n")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run.code, c.code) << c.what << "\n" << c.run.out;
    ASSERT_GE(c.run.out.size(), c.tail.size()) << c.what;
    EXPECT_EQ(c.run.out.substr(c.run.out.size() - c.tail.size()), c.tail) << c.what << "\n" << c.run.out;
  }
  // The transcript starts with the connection and shows the request it sent.
  CliRun r = send(ok.port());
  EXPECT_EQ(r.out.rfind(Utf8("\r\n连接=>>>127.0.0.1:" + std::to_string(ok.port()) + "...\r\n发送=>>>请求头:\r\n"
                             "POST /cgi-bin/Tarnwick.dll?DoApp HTTP/1.0\r\n")),
            0u)
      << r.out;
  EXPECT_NE(r.out.find(Utf8("\r\n发送=>>>POST数据:\r\n{\"RequestName\":\"TimeStamp\"}\r\n")), std::string::npos);
}

TEST(CommandLine, SendPostsTheBodyFileAsTheJsonData) {
  FakeHttpServer server;
  ASSERT_TRUE(server.Start("HTTP/1.0 200 OK\r\nContent-Length: 17\r\n\r\n{\"ReturnValue\":1}"));
  const std::string json = "{\"RequestName\":\"PreInputData\",\"iID\":1}";
  const std::string file = TempFile("  " + json + "\n");
  for (int api = 0; api < 3; ++api) {
    CliRun r = Cli({"send", "--host", "127.0.0.1", "--port", std::to_string(server.port()), "--api",
                 std::to_string(api), "--body-file", file});
    EXPECT_EQ(r.code, 0) << r.out;
  }
  std::vector<std::string> got = server.Requests(3);
  ASSERT_EQ(got.size(), 3u);
  const char* bodies[3] = {
      "MfcISAPICommand=DoApp&d=%7B%22RequestName%22%3A%22PreInputData%22%2C%22iID%22%3A1%7D",
      "d=%7B%22RequestName%22%3A%22PreInputData%22%2C%22iID%22%3A1%7D",
      "{\"RequestName\":\"PreInputData\",\"iID\":1}",
  };
  for (int api = 0; api < 3; ++api) {
    EXPECT_EQ(got[api].substr(got[api].find("\r\n\r\n") + 4), bodies[api]);
    EXPECT_EQ(got[api].rfind(api == 0 ? "POST /cgi-bin/Tarnwick.dll HTTP/1.0\r\n" : "POST /cgi-bin/Tarnwick.dll?DoApp HTTP/1.0\r\n", 0),
              0u);
  }
  // A body file of nine characters or fewer is no request.
  const std::string tiny = TempFile("{\"a\":1}");
  CliRun r = Cli({"send", "--port", std::to_string(server.port()), "--body-file", tiny});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, Utf8("没有准备JSON数据!\r\n先点击“JSON样例(Example)>>>”\r\n"));
  std::remove(file.c_str());
  std::remove(tiny.c_str());
}

TEST(CommandLine, CodesInTableOrder) {
  CliRun r = Cli({"codes"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind(Utf8("-1\t唯一性字段值重复，操作失败\r\n-2\t记录不存在，操作失败\r\n"), 0), 0u) << r.out;
  EXPECT_NE(r.out.find(Utf8("\r\n-5\t未解析出\"RequestName\"\r\n-7\t")), std::string::npos);
  const std::string tail = Utf8("-730\tMD5 错误，长度不是32字符\r\n-731\tMD5 错误，不匹配\r\n");
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  size_t lines = 0;
  for (char c : r.out) lines += c == '\n';
  EXPECT_EQ(lines, 12u);
}

TEST(CommandLine, SaveAndSettingsUnderTheOtherOptions) {
  const std::string path = TempFile("");
  CliRun saved = Cli({"save", path, "--host", "srv.example", "--port", "8080", "--api", "0", "--icid", "910002",
                   "--code", "utf8", "--key", "RdKey"});
  EXPECT_EQ(saved.code, 0);
  EXPECT_EQ(saved.out, Utf8("配置已保存:") + path + "\r\n");
  const std::string record = ReadFile(path);
  ASSERT_EQ(record.size(), 144u);
  EXPECT_EQ(record.substr(0, 12), std::string("srv.example") + '\0');
  EXPECT_EQ(record.substr(64, 16), std::string("\x90\x1F\0\0\0\0\0\0\xB2\xE2\x0D\0\x01\0\0\0", 16));

  // The record comes first wherever --settings stands; the other options override it.
  CliRun r = Cli({"build", "--request", "ClientInfo", "--port", "81", "--settings", path});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.rfind("MD5: ", 0), 0u);
  EXPECT_NE(r.out.find("\r\nMfcISAPICommand=DoApp&d=%7B%22RequestName%22%3A%22ClientInfo%22%2C%22icID%22%3A910002%2C"),
            std::string::npos)
      << r.out;
  CliRun url = Cli({"quillon-url", "query", "--settings", path, "--data", "TW20261210001"});
  EXPECT_NE(url.out.find("http://srv.example/cgi-bin/Quillon.dll?MfcISAPICommand=EmsApiQuery&icid=910002&cno="
                         "TW20261210001&md5="),
            std::string::npos)
      << url.out;
  EXPECT_NE(url.out.find("&cp=65001\r\n"), std::string::npos);

  // A file of another size is ignored: the defaults stay.
  const std::string odd = TempFile(record + "x");
  CliRun plain = Cli({"build", "--settings", odd, "--request", "ClientInfo", "--icid", "5"});
  EXPECT_EQ(plain.code, 0);
  EXPECT_NE(plain.out.find("\r\n{\"RequestName\":\"ClientInfo\",\"icID\":5,"), std::string::npos) << plain.out;
  std::remove(path.c_str());
  std::remove(odd.c_str());
}

std::string ClientInfoMd5(const std::string& key) {
  const std::string text = "10011700000000000" + key;
  char md5[tw::kMd5HexSize];
  return tw::MD5Hex(text.data(), text.size(), md5);
}

TEST(CommandLine, SettingsTextsOf64BytesAreReadAs63AndOnlyTypedTextsMeetTheLimit) {
  const std::string h63(63, 'h'), k63(63, 'k');
  struct Case {
    const char* what;
    std::string host, key;  // in the file
    std::vector<std::string> typed;
    std::string usedHost, usedKey;
  } cases[] = {
      {"63 key bytes", "srv", k63, {}, "srv", k63},
      {"64 key bytes without a NUL", "srv", std::string(64, 'k'), {}, "srv", k63},
      {"63 host bytes", h63, "key", {}, h63, "key"},
      {"64 host bytes without a NUL", std::string(64, 'h'), "key", {}, h63, "key"},
      {"a typed key of 63 bytes", "srv", "key", {"--key", k63}, "srv", std::string(62, 'k')},
      {"a typed host of 63 bytes", "srv", "key", {"--host", h63}, std::string(62, 'h'), "key"},
  };
  for (const Case& c : cases) {
    const std::string path = TempFile(twtest::SettingsBytes(c.host, 80, 2, 1001, 0, c.key));
    std::vector<std::string> build = {"build", "--settings", path, "--request", "ClientInfo"};
    build.insert(build.end(), c.typed.begin(), c.typed.end());
    const CliRun r = Cli(build);
    EXPECT_EQ(r.code, 0) << c.what << "\n" << r.out;
    EXPECT_EQ(r.out.substr(0, 39), "MD5: " + ClientInfoMd5(c.usedKey) + "\r\n") << c.what;
    std::vector<std::string> query = {"quillon-url", "query", "--settings", path, "--data", "TW20261210001"};
    query.insert(query.end(), c.typed.begin(), c.typed.end());
    const CliRun url = Cli(query);
    EXPECT_NE(url.out.find("http://" + c.usedHost + "/cgi-bin/Quillon.dll?"), std::string::npos)
        << c.what << "\n" << url.out;
    std::remove(path.c_str());
  }
}

TEST(CommandLine, QuillonUrlsAndTheirRefusals) {
  CliRun getNo = Cli({"quillon-url", "getno", "--icid", "77", "--host", "qu.example", "--data", "EMS国际"});
  EXPECT_EQ(getNo.code, 0);
  EXPECT_EQ(getNo.out, Utf8("MD5(\"EMS国际1700000000123qrst5821LMN\")=4e440f564d37637fd4d05bd8c0c25bd1\r\n\r\n"
                            "http://qu.example/cgi-bin/Quillon.dll?MfcISAPICommand=EmsApiGetNo&icid=77&cemskind="
                            "EMS%B9%FA%BC%CA&timestamp=1700000000123&md5=4e440f564d37637fd4d05bd8c0c25bd1\r\n\r\n"
                            "将上面URL拷贝，在浏览器中提交测试!\r\n返回\"-3\"表示没有可用的单号。\r\n"));
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"quillon-url", "getno", "--key", "", "--data", "EMS"}, Utf8("密钥不能为空！\r\n")},
      {{"quillon-url", "query", "--data", "TW20261210001"}, Utf8("必须填写客户ID\r\n")},
      {{"quillon-url", "query", "--icid", "1", "--data", "TW2026"}, Utf8("内单号错误(7 - 60字符)\r\n")},
      {{"quillon-url", "getno", "--icid", "1"}, Utf8("快递类别错误(1-15字符)\r\n")},
  };
  for (const Case& c : cases) {
    CliRun r = Cli(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(CommandLine, UnreadableCommandLines) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"nonsense"},
      {"build", "--bogus", "1"},
      {"build", "--port"},
      {"build", "--port", "eighty"},
      {"build", "--api", "3"},
      {"build", "--code", "latin1"},
      {"build", "--icid", "99999999999"},
      {"quillon-url", "other"},
      {"save"},
      {"codes", "--host", "x"},
      {"send", "--body-file", "/nonexistent/body.json"},
  };
  for (const auto& args : cases) {
    CliRun r = Cli(args);
    EXPECT_EQ(r.code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage: tarnwick-testclient"), std::string::npos);
  }
}

TEST(CommandLine, TheProgramWritesUtf8AndExitsWithTheCode) {
  const std::string program = std::string(TARNWICK_TESTCLIENT_PROGRAM);
  const std::string out = TempFile("");
  std::string command = "TARNWICK_TESTCLIENT_TIME=1700000000 '" + program + "' build --request ClientInfo --icid 1001 > '" +
                        out + "'";
  int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadFile(out), "MD5: 47869a556eda394518c301235e95666f\r\n{\"RequestName\":\"ClientInfo\",\"icID\":1001,"
                           "\"TimeStamp\":1700000000000,\"MD5\":\"47869a556eda394518c301235e95666f\"}");
  command = "'" + program + "' build --request ClientInfo --key '' > '" + out + "'";
  status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(ReadFile(out), "\xE5\xAF\x86\xE9\x92\xA5\xE4\xB8\x8D\xE8\x83\xBD\xE4\xB8\xBA\xE7\xA9\xBA\xEF\xBC\x81\r\n");
  std::remove(out.c_str());
}

}  // namespace
