#include "testclient/cli.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "testclient/form.h"
#include "testclient/quillon_url.h"
#include "testclient/request_builder.h"
#include "testclient/return_codes.h"
#include "testclient/sender.h"
#include "testclient/settings.h"

namespace tw {

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;

constexpr char kUsage[] =
    "usage: tarnwick-testclient                      (opens the dialog)\n"
    "       tarnwick-testclient build [OPTIONS]\n"
    "       tarnwick-testclient send [OPTIONS]\n"
    "       tarnwick-testclient codes\n"
    "       tarnwick-testclient quillon-url getno|query [OPTIONS]\n"
    "       tarnwick-testclient save FILE [OPTIONS]\n"
    "OPTIONS: --settings FILE --host H --port P --api 0|1|2 --code gbk|utf8 --key K --icid N\n"
    "         --request NAME --kind K --des D --idno N --name N --front FILE --back FILE\n"
    "         --body-file FILE --data TEXT\n";

struct Options {
  TestForm form;
  std::optional<std::string> bodyFile;  // file system path
};

bool ParseInt(const std::string& text, int* out) {
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) {
    return false;
  }
  *out = static_cast<int>(v);
  return true;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Reads the options from args[first..]; false with the reason in *error.
bool ParseOptions(const std::vector<std::string>& args, size_t first, Options* options,
                  std::string* error) {
  // The settings record comes first, whatever its place among the options.
  for (size_t i = first; i + 1 < args.size(); ++i) {
    if (args[i] == "--settings") {
      LoadSettingsFile(args[i + 1], options->form);
    }
  }
  TestForm& f = options->form;
  // What the record and the defaults gave is not typed: only the options' texts meet the limits.
  const TestForm given = f;
  for (size_t i = first; i < args.size(); i += 2) {
    const std::string& name = args[i];
    if (i + 1 >= args.size()) {
      *error = "option " + name + " needs a value";
      return false;
    }
    const std::string& value = args[i + 1];
    const std::string gbk = Utf8ToGbkString(value);
    bool ok = true;
    if (name == "--settings") {
      // loaded above
    } else if (name == "--host") {
      f.host = gbk;
    } else if (name == "--port") {
      ok = ParseInt(value, &f.port);
    } else if (name == "--api") {
      ok = value == "0" || value == "1" || value == "2";
      f.apiType = ok ? value[0] - '0' : f.apiType;
    } else if (name == "--code") {
      ok = value == "gbk" || value == "utf8";
      f.pageCode = value == "utf8" ? kPageUtf8 : kPageGbk;
    } else if (name == "--key") {
      f.key = gbk;
    } else if (name == "--icid") {
      ok = ParseInt(value, &f.clientId);
    } else if (name == "--request") {
      f.requestName = gbk;
    } else if (name == "--kind") {
      f.kind = gbk;
    } else if (name == "--des") {
      f.destination = gbk;
    } else if (name == "--idno") {
      f.idCardNo = gbk;
    } else if (name == "--name") {
      f.name = gbk;
    } else if (name == "--front") {
      f.frontPath = gbk;
    } else if (name == "--back") {
      f.backPath = gbk;
    } else if (name == "--body-file") {
      options->bodyFile = value;
    } else if (name == "--data") {
      f.jsonData = gbk;
    } else {
      *error = "unknown option " + name;
      return false;
    }
    if (!ok) {
      *error = "bad value for " + name + ": " + value;
      return false;
    }
  }
  ApplyLimits(f, given);
  return true;
}

class Command {
 public:
  explicit Command(const CliWriter& write) : write_(write) {}

  void Out(const std::string& gbk) { write_(GbkToUtf8String(gbk), false); }
  int Refuse(const Refusal& refusal) {
    Out(refusal.message + "\r\n");
    return kExitRefused;
  }
  int Usage(const std::string& why) {
    write_("tarnwick-testclient: " + why + "\n" + kUsage, true);
    return kExitRefused;
  }

  int Build(const Options& o) {
    BuiltRequest built;
    Refusal refusal;
    if (!BuildSampleRequest(o.form, TestClientTime(), &built, &refusal)) {
      return Refuse(refusal);
    }
    Out("MD5: " + built.md5 + "\r\n" + built.body);
    return kExitDone;
  }

  int Send(Options o) {
    BuiltRequest built;
    const BuiltRequest* sample = nullptr;
    if (o.bodyFile) {
      if (!ReadFile(*o.bodyFile, &o.form.jsonData)) {
        return Usage("cannot read " + *o.bodyFile);
      }
    } else {
      Refusal refusal;
      if (!BuildSampleRequest(o.form, TestClientTime(), &built, &refusal)) {
        return Refuse(refusal);
      }
      o.form.jsonData = built.readable;
      sample = &built;
    }
    SendJob job;
    Refusal refusal;
    if (!PrepareSend(o.form, sample, &job, &refusal)) {
      return Refuse(refusal);
    }
    const CReturnCodeArray codes = CReturnCodeArray::Default();
    int last = kSendDone;
    // Reports arrive on this thread; each piece is printed as it comes.
    SenderThread(job, [&](const SendReport& report) {
      std::string piece;
      AppendReport(report, codes, &piece);
      Out(piece);
      last = report.code;
    });
    Out("\r\n");
    return last == kSendDone ? kExitDone : kExitFailed;
  }

  int Codes() {
    std::string text;
    const CReturnCodeArray codes = CReturnCodeArray::Default();
    for (const ReturnCodeRecord& r : codes.records()) {
      text += std::to_string(r.code) + "\t" + r.text + "\r\n";
    }
    Out(text);
    return kExitDone;
  }

  int QuillonUrl(const std::string& which, const Options& o) {
    std::string text;
    Refusal refusal;
    bool ok = which == "getno" ? BuildGetNoUrl(o.form, TestClientTime(), &text, &refusal)
                               : BuildQueryUrl(o.form, &text, &refusal);
    if (!ok) {
      return Refuse(refusal);
    }
    Out(text);
    return kExitDone;
  }

  int Save(const std::string& path, const Options& o) {
    if (!SaveSettingsFile(path, o.form)) {
      write_("tarnwick-testclient: cannot write " + path + "\n", true);
      return kExitFailed;
    }
    Out("配置已保存:" + Utf8ToGbkString(path) + "\r\n");
    return kExitDone;
  }

 private:
  const CliWriter& write_;
};

}  // namespace

int RunTestClientCommand(const std::vector<std::string>& args, const CliWriter& write) {
  Command command(write);
  if (args.empty()) {
    return command.Usage("no command");
  }
  const std::string& verb = args[0];
  size_t first = 1;
  std::string operand;
  if (verb == "codes") {
    if (args.size() != 1) {
      return command.Usage("codes takes no options");
    }
    return command.Codes();
  }
  if (verb == "quillon-url" || verb == "save") {
    if (args.size() < 2) {
      return command.Usage(verb + " needs " + (verb == "save" ? "a file" : "getno or query"));
    }
    operand = args[1];
    first = 2;
    if (verb == "quillon-url" && operand != "getno" && operand != "query") {
      return command.Usage("quillon-url needs getno or query");
    }
  } else if (verb != "build" && verb != "send") {
    return command.Usage("unknown command " + verb);
  }
  Options options;
  std::string error;
  if (!ParseOptions(args, first, &options, &error)) {
    return command.Usage(error);
  }
  if (verb == "build") {
    return command.Build(options);
  }
  if (verb == "send") {
    return command.Send(std::move(options));
  }
  if (verb == "quillon-url") {
    return command.QuillonUrl(operand, options);
  }
  return command.Save(operand, options);
}

}  // namespace tw
