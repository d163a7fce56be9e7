// The parse-map dispatch and the request-body rules of the server-extension layer.

#include "platform/httpserver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class TestServer : public CHttpServer {
 public:
  std::string called, body, args;

  void Raw(CHttpServerContext* ctxt, char* text, int length) {
    called = "Raw";
    body.assign(text, static_cast<size_t>(length));
    EXPECT_EQ(text[length], '\0');
    *ctxt << "raw";
  }
  void About(CHttpServerContext* ctxt) {
    called = "About";
    *ctxt << "about";
  }
  void Typed(CHttpServerContext* ctxt, const CHttpArgs& a) {
    called = "Typed";
    args = std::string(a.Text(0)) + "|" + std::to_string(a.Short(1)) + "|" + std::to_string(a.Short(2)) + "|" +
           a.Text(3);
    AddHeader(ctxt, "Content-Type: image/bmp\r\n");
    *ctxt << "typed";
  }

  const std::vector<ParseMapEntry>& GetParseMap() const override {
    static const std::vector<ParseMapEntry> map = [] {
      using E = ParseMapEntry;
      E typed{"Bar", E::kTyped};
      typed.typed = static_cast<E::TypedCommand>(&TestServer::Typed);
      typed.paramDecl = "ccode= ih=30 iwz=1 cmask=";
      typed.paramTypes = "shhs";
      E raw{"DoApp", E::kRaw};
      raw.raw = static_cast<E::RawCommand>(&TestServer::Raw);
      E about{"Default", E::kEmpty};
      about.empty = static_cast<E::EmptyCommand>(&TestServer::About);
      E fallback{nullptr, E::kEmpty};
      fallback.empty = static_cast<E::EmptyCommand>(&TestServer::About);
      return std::vector<ParseMapEntry>{typed, raw, about, fallback};
    }();
    return map;
  }
};

struct Exchange {
  std::string status, headers, body;
};

BOOL Send(HCONN conn, DWORD request, void* buffer, DWORD*, DWORD*) {
  if (request != HSE_REQ_SEND_RESPONSE_HEADER_EX) return FALSE;
  auto* x = static_cast<Exchange*>(conn);
  auto* info = static_cast<HSE_SEND_HEADER_EX_INFO*>(buffer);
  x->status = info->pszStatus;
  x->headers = info->pszHeader;
  return TRUE;
}

BOOL Write(HCONN conn, const void* data, DWORD* bytes, DWORD) {
  static_cast<Exchange*>(conn)->body.append(static_cast<const char*>(data), *bytes);
  return TRUE;
}

BOOL NoMore(HCONN, void*, DWORD* size) {
  *size = 0;
  return FALSE;
}

Exchange Serve(TestServer& server, const char* method, const char* query, const std::string& body,
               DWORD announced) {
  Exchange x;
  EXTENSION_CONTROL_BLOCK ecb{};
  ecb.ConnID = &x;
  ecb.lpszMethod = method;
  ecb.lpszQueryString = query;
  std::string data = body;
  ecb.cbTotalBytes = announced;
  ecb.cbAvailable = static_cast<DWORD>(data.size());
  ecb.lpbData = reinterpret_cast<unsigned char*>(data.data());
  ecb.ServerSupportFunction = Send;
  ecb.WriteClient = Write;
  ecb.ReadClient = NoMore;
  EXPECT_EQ(server.HttpExtensionProc(&ecb), HSE_STATUS_SUCCESS);
  return x;
}

TEST(HttpServer, DispatchesByCommand) {
  struct Case {
    const char* method;
    const char* query;
    std::string body;
    const char* called;
    const char* gotBody;
    const char* status;
  } cases[] = {
      {"POST", "DoApp", "{\"a\":1}\r\n \r\n", "Raw", "{\"a\":1}", "200 OK"},  // trailing CR, LF, blanks go
      {"GET", "DoApp&%7B%22a%22%3A1%7D", "", "Raw", "%7B%22a%22%3A1%7D", "200 OK"},  // GET: the query rest
      {"POST", "", "MfcISAPICommand=DoApp&{\"b\":2}", "Raw", "{\"b\":2}", "200 OK"},
      {"GET", "", "", "About", "", "200 OK"},       // no command: the default entry
      {"GET", "Default", "", "About", "", "200 OK"},
      {"GET", "Nope", "", "", "", "400 Bad Request"},
  };
  for (const Case& c : cases) {
    TestServer server;
    Exchange x = Serve(server, c.method, c.query, c.body, static_cast<DWORD>(c.body.size()));
    EXPECT_EQ(server.called, c.called) << c.query;
    EXPECT_EQ(server.body, c.gotBody) << c.query;
    EXPECT_EQ(x.status, c.status) << c.query;
  }
}

TEST(HttpServer, RefusesBadBodiesAndMethods) {
  struct Case {
    const char* method;
    std::string body;
    DWORD announced;
    const char* status;
  } cases[] = {
      {"POST", "{}", kUnknownContentLength, "413 Request Entity Too Large"},
      {"POST", "{\"a\":1}", 3, "400 Bad Request"},  // announced less than arrived
      {"POST", "{}", 10, "400 Bad Request"},        // the rest of the body never comes
      {"PUT", "{}", 2, "405 Method Not Allowed"},
      {"HEAD", "", 0, "405 Method Not Allowed"},
  };
  for (const Case& c : cases) {
    TestServer server;
    Exchange x = Serve(server, c.method, "DoApp", c.body, c.announced);
    EXPECT_EQ(x.status, c.status) << c.method << " " << c.announced;
    EXPECT_EQ(server.called, "");
  }
}

TEST(HttpServer, TypedParametersTakeDefaultsNamesAndPositions) {
  struct Case {
    const char* query;
    const char* args;  // empty: refused with 400
  } cases[] = {
      {"Bar&ccode=12345", "12345|30|1|"},
      {"Bar&ccode=A%20B+C&ih=40&cmask=C4", "A B C|40|1|C4"},
      {"Bar&ih=50&ccode=X", "X|50|1|"},
      {"Bar&X9&44", "X9|44|1|"},     // bare values fill by position
      {"Bar&ccode=1&ih=abc", ""},   // not a number
      {"Bar&ccode=1&ih=40000", ""}, // out of the 16-bit range
      {"Bar&zz=1", ""},             // unknown name
  };
  for (const Case& c : cases) {
    TestServer server;
    Exchange x = Serve(server, "GET", c.query, "", 0);
    if (*c.args == '\0') {
      EXPECT_EQ(x.status, "400 Bad Request") << c.query;
      EXPECT_EQ(server.called, "") << c.query;
    } else {
      EXPECT_EQ(server.args, c.args) << c.query;
      EXPECT_EQ(x.headers, "Content-Type: image/bmp\r\n\r\n") << c.query;  // its own type, no default
    }
  }
}

TEST(HttpServer, DefaultsToHtmlAndSendsTheBody) {
  TestServer server;
  Exchange x = Serve(server, "GET", "", "", 0);
  EXPECT_EQ(x.headers, "Content-Type: text/html\r\n\r\n");
  EXPECT_EQ(x.body, "about");
}

}  // namespace
