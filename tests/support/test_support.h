// Shared helpers of the test programs: a scripted Ui that records what it was shown, and a
// temporary folder per test.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/ui.h"

namespace tarvik::test {

// Records messages and questions; answers questions from a script (nullopt = Cancel);
// reports Abort from the `abort_after_pumps`-th pump on.
class RecordingUi : public Ui {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> questions;  // titles asked
  std::vector<std::string> prompts;    // the lines under them
  std::vector<std::string> captions;
  std::vector<std::string> items;
  std::deque<std::optional<std::string>> answers;
  std::optional<std::uint64_t> abort_after_pumps;
  std::uint64_t pumps = 0;
  std::uint64_t progress = 0;
  std::uint64_t progress_max = 0;

  void show_message(std::string_view text) override { messages.emplace_back(text); }
  std::optional<std::string> ask(std::string_view title, std::string_view prompt) override {
    questions.emplace_back(title);
    prompts.emplace_back(prompt);
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void set_caption(std::string_view t) override { captions.emplace_back(t); }
  void set_item(std::string_view t) override { items.emplace_back(t); }
  void set_progress_max(std::uint64_t m) override { progress_max = m; }
  void set_progress(std::uint64_t p) override { progress = p; }
  void advance(std::uint64_t b) override { progress += b; }
  bool pump() override {
    ++pumps;
    return abort_after_pumps && pumps >= *abort_after_pumps;
  }
};

// A fresh folder under the system's temporary folder, removed with everything in it
// (read-only files included) when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& native() const { return native_; }
  // The folder as Windows path text (UTF-8), no trailing "\".
  std::string win() const;
  // Windows path text of a name below the folder ("a\b.txt").
  std::string win(const std::string& relative) const;

 private:
  std::filesystem::path native_;
};

// Bytes that do not compress (zlib stores them: n bytes pack into n + 11), so packed sizes are
// predictable.
std::string noise(std::size_t n, unsigned seed = 1);

// One-shot zlib compression at the default level: what the packer's stream of a file of at
// most one compression block must equal.
std::string zlib_of(std::string_view data);
// The zlib stream libdeflate makes of `data` in one call at `level`: what packing makes of a
// file of one block (of more than a few bytes).
std::string libdeflate_zlib_of(std::string_view data, int level = 6);

// The contents of `stream` when it is exactly one complete zlib stream (header, deflate data
// ending in a final block, a matching Adler-32, no byte after it); nullopt otherwise.
std::optional<std::string> unzlib(std::string_view stream);

// Writes bytes to a native path, creating parent folders.
void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

// An environment variable set (UTF-8) or removed (nullopt) for the object's life, then as it was.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// A folder's contents by relative path. A failed comparison prints each name with the size
// and CRC-32 of its bytes (short texts as they are), never whole files.
struct Tree : std::map<std::string, std::string> {
  using std::map<std::string, std::string>::map;
};
void PrintTo(const Tree& tree, std::ostream* os);

// Equal bytes; otherwise says both sizes and the first offset where they differ.
::testing::AssertionResult same_bytes(std::string_view actual, std::string_view expected);

}  // namespace tarvik::test
