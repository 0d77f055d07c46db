// The console front end's commands: pack, unpack, test, list, extract, and the
// self-extracting start. Each returns the process exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "requests/operations.h"

namespace tarvik::cli {

using requests::kExitAborted;
using requests::kExitFailed;
using requests::kExitOk;
using requests::kExitUsage;

// What every start does before anything else: rolls back the journals of runs that are gone,
// saying so on the console.
void recover_first();
int run(const std::vector<std::string>& args);
// When the running executable carries an archive (a self-extracting one), unpacks it into
// its own folder and gives the exit status; otherwise nullopt.
std::optional<int> run_self_extracting();

}  // namespace tarvik::cli
