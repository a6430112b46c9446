// setup.log: the result of a silent run for the deployment script that
// started it.
#pragma once

#include "base/stringx.h"

namespace kx {

// Where setup.log goes: `option` (the "f2" path) when given; in a web run
// "setup.log" in the user's temporary folder; otherwise "setup.log" beside
// `user_launcher`, the launcher the user started (not the relaunched copy,
// whose folder is removed at the end of the run). Empty when no folder can
// be worked out.
string ResultFilePath(const string& option, bool web, const string& user_launcher);

// Sets [Kestrix Silent] File=Log File and Version=v7.00, [ResponseResult]
// ResultCode and [ExtendedError] ErrorInfo in the file at `path`, keeping
// every other section and the file's encoding (a new file gets the
// writer's default). False when the file cannot be written.
bool WriteResultFile(const string& path, long result_code, const string& information);

}  // namespace kx
