// The reply writer and the request log.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "core/config.h"
#include "core/extension.h"

namespace {

constexpr char kJsonContentType[] = "Content-Type: application/json\r\n";
constexpr char kNoCacheLines[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\nExpires: -1\r\n";
constexpr size_t kLogTextMaxBytes = 30000;
constexpr unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};

}  // namespace

int CTarnwickExtension::WriteJsonReply(CHttpServerContext* pCtxt, const char* text, size_t length) {
  char header[160];
  std::snprintf(header, sizeof header, "%sContent-Length: %zu\r\n%s", kJsonContentType, length, kNoCacheLines);
  AddHeader(pCtxt, header);
  pCtxt->Write(text, length);
  return 1;
}

int CTarnwickExtension::WriteReply(CHttpServerContext* pCtxt, const char* text, int bJson) {
  if (text == nullptr) text = "";
  if (bJson != 0) {
    if (text[0] == '{') return WriteJsonReply(pCtxt, text, std::strlen(text));
    // A bare code or number is wrapped; a longer text is wrapped whole rather than cut.
    std::string wrapped = "{\"ReturnValue\":";
    wrapped += text;
    wrapped += '}';
    return WriteJsonReply(pCtxt, wrapped.data(), wrapped.size());
  }
  const size_t length = std::strlen(text);
  char header[96];
  std::snprintf(header, sizeof header, "Content-Type: text/html\r\nContent-Length: %zu\r\n", length);
  AddHeader(pCtxt, header);
  pCtxt->Write(text, length);
  return 1;
}

int CTarnwickExtension::WriteCode(CHttpServerContext* pCtxt, int code) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", code);
  return WriteReply(pCtxt, text, 1);
}

void CTarnwickExtension::WriteLog(const char* text, const char* category, int bBom) {
  if (text == nullptr || category == nullptr) return;
  const size_t textLength = std::strlen(text);
  if (textLength > kLogTextMaxBytes) return;

  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char day[16], stamp[32];
  std::strftime(day, sizeof day, "%Y_%m_%d", &local);
  std::strftime(stamp, sizeof stamp, "%y-%m-%d %H:%M:%S", &local);
  std::string path = ExtensionSettings.logFolder + "LOG_" + category + "_" + day + ".txt";

  // The entry as a text-mode file stores it: every line feed becomes CR LF, so the frame
  // "\r\n[time]text\r\n" lands on disk as CR CR LF [time] text CR CR LF.
  std::string entry;
  entry.reserve(textLength + textLength / 16 + 48);
  auto put = [&entry](const char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == '\n') entry.push_back('\r');
      entry.push_back(p[i]);
    }
  };
  put("\r\n[", 3);
  put(stamp, std::strlen(stamp));
  put("]", 1);
  put(text, textLength);
  put("\r\n", 2);

  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (bBom != 0) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size == 0) {
      entry.insert(0, reinterpret_cast<const char*>(kUtf8Bom), sizeof kUtf8Bom);
    }
  }
  // One append per entry: concurrent writers never interleave inside an entry.
  ssize_t written = ::write(fd, entry.data(), entry.size());
  (void)written;
  ::close(fd);
}
