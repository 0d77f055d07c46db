// Runs a program (the console front end, a self-extracting archive) and collects its exit
// status and output, for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace tarvik::test {

struct RunResult {
  int status = -1;
  std::string out;  // standard output (UTF-8)
  std::string err;  // standard error
};

// Runs `program` (Windows path text) with `args` in `folder`, feeding `input` on standard
// input.
RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const std::string& folder, const std::string& input = "");

}  // namespace tarvik::test
