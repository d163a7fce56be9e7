// tarnwick-testclient: the test client's dialog when started without arguments, else its command
// line (see testclient/cli.h).
#include <cstdio>
#include <string>
#include <vector>

#include "testclient/cli.h"

namespace tw {
// The dialog program (testclient/dialog.cc).
int RunTestClientDialog(int argc, char** argv);
}  // namespace tw

int main(int argc, char** argv) {
  if (argc < 2) {
    return tw::RunTestClientDialog(argc, argv);
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  return tw::RunTestClientCommand(args, [](const std::string& text, bool error) {
    FILE* f = error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
  });
}
