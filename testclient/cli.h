#pragma once
// The command line of the test client: each button of the dialog as a subcommand.
//
//   build [OPTIONS]                   "MD5: <signature>" CR LF and the body as it would be posted
//   send [OPTIONS]                    builds (or takes --body-file as the JSON data) and sends;
//                                     prints the message-output transcript
//   codes                             the return-code table, "code<TAB>text" per line
//   quillon-url getno|query [OPTIONS] the signed sibling URL with its note
//   save FILE [OPTIONS]               writes the 144-byte settings record of the values
// OPTIONS: --settings FILE (loaded first), --host, --port, --api 0|1|2, --code gbk|utf8, --key,
// --icid, --request, --kind, --des, --idno, --name, --front, --back, --body-file, --data.
//
// Arguments are UTF-8 and so is every output (CR LF line breaks); the core works in GBK.
// Exit codes: 0 done; 1 a send that ended with a negative code or code 21, or a file that could not
// be written; 2 a refusal before sending, or a command line that cannot be read.
#include <functional>
#include <string>
#include <vector>

namespace tw {

// Receives output as it is produced: `error` false for standard output, true for standard error.
using CliWriter = std::function<void(const std::string& utf8, bool error)>;

// RunTestClientCommand: runs the subcommand in args (args[0] is the subcommand, not the program).
// Returns the exit code.
int RunTestClientCommand(const std::vector<std::string>& args, const CliWriter& write);

}  // namespace tw
