// The reply writer and the request log.

#include "core/reply.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "core/config.h"

namespace {

constexpr char kJsonContentType[] = "Content-Type: application/json\r\n";
constexpr char kNoCacheLines[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\nExpires: -1\r\n";
constexpr size_t kLogTextMaxBytes = 30000;
constexpr unsigned char kUtf8Bom[] = {0xEF, 0xBB, 0xBF};

}  // namespace

void AddReplyHeader(CHttpServerContext* pCtxt, const char* lines) { pCtxt->m_strHeaders.append(lines); }

int WriteJsonReply(CHttpServerContext* pCtxt, const char* text, size_t length) {
  char header[160];
  std::snprintf(header, sizeof header, "%sContent-Length: %zu\r\n%s", kJsonContentType, length, kNoCacheLines);
  AddReplyHeader(pCtxt, header);
  pCtxt->Write(text, length);
  return 1;
}

int WriteReply(CHttpServerContext* pCtxt, const char* text, int bJson) {
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
  AddReplyHeader(pCtxt, header);
  pCtxt->Write(text, length);
  return 1;
}

int WriteCode(CHttpServerContext* pCtxt, int code) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", code);
  return WriteReply(pCtxt, text, 1);
}

namespace {

// The local time of the current second, formatted once per second and thread.
struct LogClock {
  std::time_t second = -1;
  char day[16] = "";    // "%Y_%m_%d"
  char stamp[32] = "";  // "%y-%m-%d %H:%M:%S"
};

const LogClock& Now() {
  thread_local LogClock clock;
  std::time_t now = std::time(nullptr);
  if (now != clock.second) {
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(clock.day, sizeof clock.day, "%Y_%m_%d", &local);
    std::strftime(clock.stamp, sizeof clock.stamp, "%y-%m-%d %H:%M:%S", &local);
    clock.second = now;
  }
  return clock;
}

// The open log files, one per category: the file of the current day (or folder) and the one before
// it, which is closed only when the next one opens, so a writer that took it a moment ago never
// writes into a closed descriptor.
class LogFiles {
 public:
  // The descriptor to append to for `path`, or -1 when the file cannot be opened.
  int Get(const char* category, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry* entry = nullptr;
    for (Entry& e : entries_) {
      if (e.category == category) entry = &e;
    }
    if (entry == nullptr) {
      if (entries_.size() >= kMaxCategories) return -1;
      entries_.push_back(Entry{category, std::string(), -1, -1});
      entry = &entries_.back();
    }
    if (entry->path != path || entry->fd < 0) {
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (fd < 0) return -1;
      if (entry->previousFd >= 0) ::close(entry->previousFd);
      entry->previousFd = entry->fd;
      entry->fd = fd;
      entry->path = path;
    }
    return entry->fd;
  }

 private:
  static constexpr size_t kMaxCategories = 16;
  struct Entry {
    std::string category;
    std::string path;
    int fd;
    int previousFd;
  };
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

LogFiles& OpenLogFiles() {
  // Lives for the process: writers may still log while the library's objects are destroyed.
  static LogFiles* files = new LogFiles;
  return *files;
}

// Appends the entry of `text` as a text-mode file stores it: every line feed becomes CR LF, so the
// frame "\r\n[time]text\r\n" lands on disk as CR CR LF [time] text CR CR LF.
void AppendLogEntry(std::string& entry, const char* text, size_t textLength, const char* stamp) {
  auto put = [&entry](const char* p, size_t n) {
    while (n > 0) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', n));
      if (lf == nullptr) {
        entry.append(p, n);
        return;
      }
      entry.append(p, static_cast<size_t>(lf - p));
      entry.append("\r\n", 2);
      n -= static_cast<size_t>(lf - p) + 1;
      p = lf + 1;
    }
  };
  entry.append("\r\r\n[", 4);
  entry.append(stamp);
  entry.push_back(']');
  put(text, textLength);
  entry.append("\r\r\n", 3);
}

// The day's log file of the category, or -1 when it cannot be opened.
int LogFileOf(const char* category, const LogClock& clock) {
  std::string path = ExtensionSettings.logFolder;
  path += "LOG_";
  path += category;
  path += '_';
  path += clock.day;
  path += ".txt";
  return OpenLogFiles().Get(category, path);
}

// Appends the entries of the texts to the day's log file of the category in one write, so
// concurrent writers never interleave inside them; a text over the limit is left out. bBom: a new
// file starts with the UTF-8 byte order mark.
void AppendEntries(std::initializer_list<const char*> texts, const char* category, int bBom) {
  if (category == nullptr) return;
  const LogClock& clock = Now();
  std::string entries;
  for (const char* text : texts) {
    if (text == nullptr) continue;
    const size_t textLength = std::strlen(text);
    if (textLength > kLogTextMaxBytes) continue;
    entries.reserve(entries.size() + textLength + 64);
    AppendLogEntry(entries, text, textLength, clock.stamp);
  }
  if (entries.empty()) return;
  int fd = LogFileOf(category, clock);
  if (fd < 0) return;
  if (bBom != 0) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size == 0) {
      entries.insert(0, reinterpret_cast<const char*>(kUtf8Bom), sizeof kUtf8Bom);
    }
  }
  ssize_t written = ::write(fd, entries.data(), entries.size());
  (void)written;
}

}  // namespace

void WriteLog(const char* text, const char* category, int bBom) { AppendEntries({text}, category, bBom); }

void WriteLogPair(const char* first, const char* second, const char* category) {
  AppendEntries({first, second}, category, 0);
}
