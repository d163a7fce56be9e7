// tarnwick-host: the web server that loads Tarnwick.so and serves it at /cgi-bin/Tarnwick.dll.
//
//   tarnwick-host --listen 127.0.0.1:8080 --extension PATH/Tarnwick.so [--threads N]
//                 [--per-address-limit N] [--idle-timeout SECONDS] [--connection-limit N]
//                 [--max-body-bytes N] [--body-budget-bytes N]
//
// It loads the library, calls GetFilterVersion and GetExtensionVersion, prints one line when it is
// ready and then serves every request of /cgi-bin/Tarnwick.dll through HttpExtensionProc, with the
// whole request body read first. On SIGTERM or SIGINT it stops accepting, lets the requests in flight
// finish and answer (at most 8 s; requests that begin meanwhile on open connections are answered 503
// and stored nothing), calls TerminateExtension (which cuts the extension's calls to other servers that
// are still waiting), waits for the connection threads, unloads the library (so that its teardown
// runs) and exits 0.
//
// Threads: one thread per connection by default (the extension's handlers block on the database);
// --threads N serves from a pool of N threads instead. Both wait on their sockets with poll or epoll,
// so any number of connections the system allows is served (the open-file limit is raised to its
// hard limit at start). One address holds at most --per-address-limit connections (256), a
// connection idle for --idle-timeout seconds (120) is closed.
//
// Bodies: a request declaring more than --max-body-bytes (16 MB) is answered 413 before its body is
// read; the bodies held at once may declare --body-budget-bytes in all (256 MB), past which a new
// request with a body is answered 503.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <signal.h>
#include <strings.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/isapi.h"

namespace {

constexpr char kExtensionPath[] = "/cgi-bin/Tarnwick.dll";
constexpr uint64_t kDefaultMaxBodyBytes = 16u << 20;
constexpr uint64_t kDefaultBodyBudgetBytes = 256u << 20;
constexpr unsigned kDefaultConnectionLimit = 16384;
constexpr unsigned kDefaultPerAddressLimit = 256;
constexpr unsigned kDefaultIdleTimeoutSeconds = 120;
// On SIGTERM the requests in flight have this long to finish.
constexpr int kDrainMilliseconds = 8000;
// After the drain, requests whose calls to other servers were cut have this long to answer.
constexpr int kCutAnswerMilliseconds = 1000;

struct Options {
  uint64_t maxBodyBytes = kDefaultMaxBodyBytes;
  uint64_t bodyBudgetBytes = kDefaultBodyBudgetBytes;
  unsigned connectionLimit = kDefaultConnectionLimit;
  unsigned perAddressLimit = kDefaultPerAddressLimit;
  unsigned idleTimeoutSeconds = kDefaultIdleTimeoutSeconds;
};

Options g_options;
// Requests begun and not yet completed (their reply sent or their connection gone).
std::atomic<int64_t> g_inFlight{0};
// The bytes the bodies being held have declared.
std::atomic<uint64_t> g_bodyBytes{0};
// Set on SIGTERM: requests that begin from now on are refused.
std::atomic<bool> g_draining{false};

struct Extension {
  void* handle = nullptr;
  PFN_GetExtensionVersion getExtensionVersion = nullptr;
  PFN_HttpExtensionProc httpExtensionProc = nullptr;
  PFN_TerminateExtension terminateExtension = nullptr;
  PFN_GetFilterVersion getFilterVersion = nullptr;
  PFN_HttpFilterProc httpFilterProc = nullptr;
};

Extension g_ext;

// One request as the host collects it.
struct Request {
  std::string uri;          // the raw request target, query included
  std::string body;
  bool started = false;
  bool lengthKnown = false;
  bool tooLarge = false;
  bool counted = false;          // in g_inFlight
  uint64_t reservedBytes = 0;    // in g_bodyBytes
  uint64_t declaredLength = 0;
  MHD_Connection* connection = nullptr;
  // The reply.
  std::string status = "200 OK";
  std::string headers;
  std::string reply;
  std::string remoteAddr;
  std::string method;
};

void* OnUri(void*, const char* uri, MHD_Connection* connection) {
  auto* req = new Request;
  req->uri = uri != nullptr ? uri : "";
  req->connection = connection;
  return req;
}

void OnCompleted(void*, MHD_Connection*, void** conCls, MHD_RequestTerminationCode) {
  auto* req = static_cast<Request*>(*conCls);
  if (req != nullptr) {
    if (req->reservedBytes > 0) g_bodyBytes.fetch_sub(req->reservedBytes);
    if (req->counted) g_inFlight.fetch_sub(1);
  }
  delete req;
  *conCls = nullptr;
}

void OnConnection(void*, MHD_Connection*, void** socketContext, MHD_ConnectionNotificationCode code) {
  if (code == MHD_CONNECTION_NOTIFY_CLOSED && g_ext.httpFilterProc != nullptr) {
    HTTP_FILTER_CONTEXT fc{};
    fc.cbSize = sizeof fc;
    fc.ServerContext = socketContext;
    g_ext.httpFilterProc(&fc, SF_NOTIFY_END_OF_NET_SESSION, nullptr);
  }
}

bool CopyVariable(const std::string& value, void* buffer, DWORD* size) {
  if (size == nullptr) return false;
  DWORD need = static_cast<DWORD>(value.size() + 1);
  if (buffer == nullptr || *size < need) {
    *size = need;
    return false;
  }
  std::memcpy(buffer, value.c_str(), need);
  *size = need;
  return true;
}

BOOL GetServerVariable(HCONN conn, const char* name, void* buffer, DWORD* size) {
  auto* req = static_cast<Request*>(conn);
  if (req == nullptr || name == nullptr) return FALSE;
  std::string value;
  if (std::strcmp(name, "REMOTE_ADDR") == 0 || std::strcmp(name, "REMOTE_HOST") == 0) {
    value = req->remoteAddr;
  } else if (std::strcmp(name, "REQUEST_METHOD") == 0) {
    value = req->method;
  } else if (std::strcmp(name, "QUERY_STRING") == 0) {
    size_t q = req->uri.find('?');
    value = q == std::string::npos ? "" : req->uri.substr(q + 1);
  } else if (std::strcmp(name, "URL") == 0 || std::strcmp(name, "SCRIPT_NAME") == 0) {
    value = kExtensionPath;
  } else if (std::strcmp(name, "CONTENT_LENGTH") == 0) {
    value = std::to_string(req->body.size());
  } else if (std::strcmp(name, "CONTENT_TYPE") == 0) {
    const char* v = MHD_lookup_connection_value(req->connection, MHD_HEADER_KIND, "Content-Type");
    value = v != nullptr ? v : "";
  } else if (std::strncmp(name, "HTTP_", 5) == 0) {
    std::string header = name + 5;
    for (char& c : header) c = c == '_' ? '-' : c;
    const char* v = MHD_lookup_connection_value(req->connection, MHD_HEADER_KIND, header.c_str());
    if (v == nullptr) return FALSE;
    value = v;
  } else {
    return FALSE;
  }
  return CopyVariable(value, buffer, size) ? TRUE : FALSE;
}

BOOL WriteClient(HCONN conn, const void* buffer, DWORD* bytes, DWORD) {
  auto* req = static_cast<Request*>(conn);
  if (req == nullptr || bytes == nullptr) return FALSE;
  if (*bytes > 0 && buffer != nullptr) req->reply.append(static_cast<const char*>(buffer), *bytes);
  return TRUE;
}

BOOL ReadClient(HCONN, void*, DWORD* size) {
  if (size != nullptr) *size = 0;
  return FALSE;
}

BOOL ServerSupportFunction(HCONN conn, DWORD request, void* buffer, DWORD*, DWORD*) {
  auto* req = static_cast<Request*>(conn);
  if (req == nullptr) return FALSE;
  if (request == HSE_REQ_SEND_RESPONSE_HEADER_EX && buffer != nullptr) {
    const auto* info = static_cast<const HSE_SEND_HEADER_EX_INFO*>(buffer);
    if (info->pszStatus != nullptr) req->status = info->pszStatus;
    if (info->pszHeader != nullptr) req->headers = info->pszHeader;
    return TRUE;
  }
  return FALSE;
}

void FreeBody(void* cls) { delete static_cast<std::string*>(cls); }

// Queues the reply; the body is handed to libmicrohttpd without a copy.
MHD_Result Queue(MHD_Connection* connection, unsigned status, std::string&& body, const std::string& headers) {
  auto* owned = new std::string(std::move(body));
  MHD_Response* response =
      MHD_create_response_from_buffer_with_free_callback_cls(owned->size(), owned->data(), &FreeBody, owned);
  if (response == nullptr) {
    delete owned;
    return MHD_NO;
  }
  // Header lines of the extension; the host computes Content-Length from the body itself.
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t eol = headers.find('\n', pos);
    std::string line = headers.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? headers.size() : eol + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (line.empty() || colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    size_t v = colon + 1;
    while (v < line.size() && line[v] == ' ') ++v;
    if (strcasecmp(name.c_str(), "Content-Length") == 0) continue;
    MHD_add_response_header(response, name.c_str(), line.c_str() + v);
  }
  MHD_Result rc = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return rc;
}

// A refusal of the host itself; with `close` the connection ends after it (a body not read stays
// unread).
MHD_Result QueueText(MHD_Connection* connection, unsigned status, const char* text, bool close = false) {
  return Queue(connection, status, std::string(text),
               close ? "Content-Type: text/html\r\nConnection: close\r\n" : "Content-Type: text/html\r\n");
}

std::string RemoteAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (info == nullptr || info->client_addr == nullptr || info->client_addr->sa_family != AF_INET) return "";
  char text[INET_ADDRSTRLEN] = {0};
  const auto* in = reinterpret_cast<const sockaddr_in*>(info->client_addr);
  inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
  return text;
}

MHD_Result OnRequest(void*, MHD_Connection* connection, const char* url, const char* method, const char*,
                     const char* uploadData, size_t* uploadSize, void** conCls) {
  auto* req = static_cast<Request*>(*conCls);
  if (req == nullptr) return MHD_NO;
  if (!req->started) {
    req->started = true;
    // Counted before the drain flag is read: the stopping thread sees either this request or the
    // request sees the flag.
    g_inFlight.fetch_add(1);
    req->counted = true;
    if (g_draining.load()) {
      return QueueText(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                       "<html><body><h1>503 Service Unavailable</h1>The server is stopping.</body></html>\r\n",
                       true);
    }
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (length != nullptr) {
      char* end = nullptr;
      errno = 0;
      unsigned long long n = std::strtoull(length, &end, 10);
      req->lengthKnown = errno == 0 && end != length;
      req->declaredLength = n;
      if (errno == ERANGE || n > g_options.maxBodyBytes) {
        // Refused before a byte of the body is read; the connection closes after the reply.
        return QueueText(connection, MHD_HTTP_CONTENT_TOO_LARGE,
                         "<html><body><h1>413 Request Entity Too Large</h1></body></html>\r\n", true);
      }
      if (req->lengthKnown && n > 0) {
        const uint64_t held = g_bodyBytes.fetch_add(n) + n;
        req->reservedBytes = n;
        if (held > g_options.bodyBudgetBytes) {
          return QueueText(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                           "<html><body><h1>503 Service Unavailable</h1>Too many request bodies at once."
                           "</body></html>\r\n",
                           true);
        }
        req->body.reserve(static_cast<size_t>(n));
      }
    }
    return MHD_YES;
  }
  if (*uploadSize > 0) {
    // A body without a length is not kept: the extension refuses such a request.
    if (req->lengthKnown && !req->tooLarge) {
      if (req->body.size() + *uploadSize > req->declaredLength) {
        req->tooLarge = true;  // more than it declared
      } else {
        req->body.append(uploadData, *uploadSize);
      }
    }
    *uploadSize = 0;
    return MHD_YES;
  }

  std::string path = url != nullptr ? url : "";
  if (strcasecmp(path.c_str(), kExtensionPath) != 0) {
    return QueueText(connection, MHD_HTTP_NOT_FOUND, "<html><body><h1>404 Not Found</h1></body></html>\r\n");
  }
  if (req->tooLarge) {
    return QueueText(connection, MHD_HTTP_CONTENT_TOO_LARGE,
                     "<html><body><h1>413 Request Entity Too Large</h1></body></html>\r\n");
  }
  if (g_ext.httpExtensionProc == nullptr) {
    return QueueText(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "<html><body>No extension</body></html>\r\n");
  }

  req->remoteAddr = RemoteAddress(connection);
  req->method = method;
  size_t q = req->uri.find('?');
  std::string query = q == std::string::npos ? "" : req->uri.substr(q + 1);
  std::string contentType;
  if (const char* ct = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Type")) contentType = ct;

  EXTENSION_CONTROL_BLOCK ecb{};
  ecb.cbSize = sizeof ecb;
  ecb.dwVersion = 0x00060000;
  ecb.ConnID = req;
  ecb.lpszMethod = method;
  ecb.lpszQueryString = query.c_str();
  ecb.lpszPathInfo = kExtensionPath;
  ecb.lpszPathTranslated = "";
  const bool isPost = std::strcmp(method, "POST") == 0;
  ecb.cbTotalBytes = isPost && !req->lengthKnown ? kUnknownContentLength : static_cast<DWORD>(req->declaredLength);
  ecb.cbAvailable = static_cast<DWORD>(req->body.size());
  ecb.lpbData = reinterpret_cast<unsigned char*>(req->body.data());
  ecb.lpszContentType = contentType.c_str();
  ecb.GetServerVariable = GetServerVariable;
  ecb.WriteClient = WriteClient;
  ecb.ReadClient = ReadClient;
  ecb.ServerSupportFunction = ServerSupportFunction;

  DWORD rc = g_ext.httpExtensionProc(&ecb);
  if (rc == HSE_STATUS_ERROR && req->reply.empty()) {
    return QueueText(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "<html><body>Extension error</body></html>\r\n");
  }
  unsigned status = static_cast<unsigned>(std::atoi(req->status.c_str()));
  if (status < 100 || status > 599) status = 200;
  // While stopping, a connection ends after its reply.
  if (g_draining.load()) req->headers += "Connection: close\r\n";
  return Queue(connection, status, std::move(req->reply), req->headers);
}

bool LoadExtension(const char* path) {
  g_ext.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (g_ext.handle == nullptr) {
    std::fprintf(stderr, "tarnwick-host: cannot load %s: %s\n", path, dlerror());
    return false;
  }
  g_ext.getExtensionVersion = reinterpret_cast<PFN_GetExtensionVersion>(dlsym(g_ext.handle, "GetExtensionVersion"));
  g_ext.httpExtensionProc = reinterpret_cast<PFN_HttpExtensionProc>(dlsym(g_ext.handle, "HttpExtensionProc"));
  g_ext.terminateExtension = reinterpret_cast<PFN_TerminateExtension>(dlsym(g_ext.handle, "TerminateExtension"));
  g_ext.getFilterVersion = reinterpret_cast<PFN_GetFilterVersion>(dlsym(g_ext.handle, "GetFilterVersion"));
  g_ext.httpFilterProc = reinterpret_cast<PFN_HttpFilterProc>(dlsym(g_ext.handle, "HttpFilterProc"));
  if (g_ext.getExtensionVersion == nullptr || g_ext.httpExtensionProc == nullptr ||
      g_ext.terminateExtension == nullptr || g_ext.getFilterVersion == nullptr || g_ext.httpFilterProc == nullptr) {
    std::fprintf(stderr, "tarnwick-host: %s lacks the extension entry points\n", path);
    return false;
  }
  return true;
}

int Usage() {
  std::fprintf(stderr,
               "usage: tarnwick-host --listen ADDRESS:PORT --extension PATH/Tarnwick.so [--threads N]\n"
               "         [--per-address-limit N] [--idle-timeout SECONDS] [--connection-limit N]\n"
               "         [--max-body-bytes N] [--body-budget-bytes N]\n");
  return 2;
}

// A whole non-negative number of an option; false for anything else.
bool ParseCount(const char* text, uint64_t* out) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = v;
  return true;
}

// Lets the host hold as many sockets as the system allows it.
void RaiseFileLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

int64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

int main(int argc, char** argv) {
  std::string listen = "127.0.0.1:8080";
  std::string extension;
  unsigned threads = 0;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--listen" && i + 1 < argc) {
      listen = argv[++i];
    } else if (arg == "--extension" && i + 1 < argc) {
      extension = argv[++i];
    } else if (arg == "--threads" && i + 1 < argc) {
      threads = static_cast<unsigned>(std::atoi(argv[++i]));
    } else if (i + 1 < argc && (arg == "--per-address-limit" || arg == "--idle-timeout" ||
                                arg == "--connection-limit" || arg == "--max-body-bytes" ||
                                arg == "--body-budget-bytes")) {
      uint64_t v = 0;
      if (!ParseCount(argv[++i], &v)) return Usage();
      const unsigned small = v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(v);
      if (arg == "--per-address-limit") g_options.perAddressLimit = small;
      if (arg == "--idle-timeout") g_options.idleTimeoutSeconds = small;
      if (arg == "--connection-limit") g_options.connectionLimit = small;
      if (arg == "--max-body-bytes") g_options.maxBodyBytes = v;
      if (arg == "--body-budget-bytes") g_options.bodyBudgetBytes = v;
    } else {
      return Usage();
    }
  }
  RaiseFileLimit();
  if (extension.empty()) return Usage();
  size_t colon = listen.rfind(':');
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  int port = colon == std::string::npos ? 0 : std::atoi(listen.c_str() + colon + 1);
  std::string host = colon == std::string::npos ? listen : listen.substr(0, colon);
  if (port <= 0 || port > 65535 || inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
    std::fprintf(stderr, "tarnwick-host: --listen wants an IPv4 address and a port, e.g. 127.0.0.1:8080\n");
    return 2;
  }
  addr.sin_port = htons(static_cast<uint16_t>(port));

  // The signals are taken by sigwait below; every thread started from here on has them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!LoadExtension(extension.c_str())) return 1;
  HTTP_FILTER_VERSION filterVersion{};
  filterVersion.dwServerFilterVersion = 0x00060000;
  if (!g_ext.getFilterVersion(&filterVersion)) {
    std::fprintf(stderr, "tarnwick-host: the extension did not start fully; requests that need the database "
                         "will be refused\n");
  }
  HSE_VERSION_INFO extensionVersion{};
  g_ext.getExtensionVersion(&extensionVersion);

  // poll or epoll, never select: sockets numbered 1024 and above are served like the others.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ITC;
  flags |= threads > 0 ? MHD_USE_EPOLL_INTERNAL_THREAD : (MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL);
  MHD_Daemon* daemon = nullptr;
  if (threads > 0) {
    daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &OnRequest, nullptr, MHD_OPTION_SOCK_ADDR, &addr, MHD_OPTION_URI_LOG_CALLBACK,
        &OnUri, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, nullptr, MHD_OPTION_NOTIFY_CONNECTION,
        &OnConnection, nullptr, MHD_OPTION_CONNECTION_LIMIT, g_options.connectionLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, g_options.perAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT,
        g_options.idleTimeoutSeconds, MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_THREAD_POOL_SIZE, threads,
        MHD_OPTION_END);
  } else {
    daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &OnRequest, nullptr, MHD_OPTION_SOCK_ADDR, &addr, MHD_OPTION_URI_LOG_CALLBACK,
        &OnUri, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, nullptr, MHD_OPTION_NOTIFY_CONNECTION,
        &OnConnection, nullptr, MHD_OPTION_CONNECTION_LIMIT, g_options.connectionLimit,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, g_options.perAddressLimit, MHD_OPTION_CONNECTION_TIMEOUT,
        g_options.idleTimeoutSeconds, MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_END);
  }
  if (daemon == nullptr) {
    std::fprintf(stderr, "tarnwick-host: cannot listen on %s\n", listen.c_str());
    g_ext.terminateExtension(HSE_TERM_MUST_UNLOAD);
    dlclose(g_ext.handle);
    return 1;
  }
  std::printf("tarnwick-host: serving http://%s%s\n", listen.c_str(), kExtensionPath);
  std::fflush(stdout);

  int sig = 0;
  sigwait(&stopSignals, &sig);
  // No new connections; requests that begin on open ones are refused; those in flight finish.
  g_draining.store(true);
  const MHD_socket listening = MHD_quiesce_daemon(daemon);
  if (listening != MHD_INVALID_SOCKET) close(listening);
  const int64_t deadline = NowMs() + kDrainMilliseconds;
  while (g_inFlight.load() > 0 && NowMs() < deadline) {
    usleep(10000);
  }
  if (g_inFlight.load() > 0) {
    std::fprintf(stderr, "tarnwick-host: %lld requests still running after %d ms; stopping anyway\n",
                 static_cast<long long>(g_inFlight.load()), kDrainMilliseconds);
  }
  // The extension is told first, so that a request still waiting on a peer (a carrier call) is cut
  // and answers (it has a second more to send its reply); only then are the connection threads
  // stopped and waited for.
  g_ext.terminateExtension(HSE_TERM_MUST_UNLOAD);
  const int64_t answerDeadline = NowMs() + kCutAnswerMilliseconds;
  while (g_inFlight.load() > 0 && NowMs() < answerDeadline) {
    usleep(10000);
  }
  MHD_stop_daemon(daemon);
  g_ext.httpExtensionProc = nullptr;
  g_ext.httpFilterProc = nullptr;
  dlclose(g_ext.handle);
  std::printf("tarnwick-host: stopped\n");
  std::fflush(stdout);
  return 0;
}
