// What the fuzz targets share. An input is one control byte followed by the bytes of one or
// more volumes, separated by kVolumeSeparator; the control byte says whether the harness
// seals each volume with its correct checksum first (so that the fuzzer reaches the records
// behind the checksum check) and carries a few choices of the target (a password answer, a
// point to abort at). Volumes are written into a fresh scratch folder on a memory file system
// (/dev/shm) for each run, and the scratch folder is removed after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace tarvik::fuzz {

inline constexpr std::string_view kVolumeSeparator = "#tarvik-volume#";
inline constexpr std::size_t kMaxVolumes = 8;

struct Input {
  unsigned char control = 0;
  std::vector<std::string> volumes;  // at least one (maybe empty), at most kMaxVolumes

  bool sealed() const { return (control & 1) != 0; }
  // Bits 1..7 for the target's own choices.
  unsigned choice() const { return control >> 1; }
};

Input split(const std::uint8_t* data, std::size_t size);
std::string join(unsigned char control, const std::vector<std::string>& volumes);
// Replaces the last 8 bytes with the checksum of the bytes before them (when there are 8).
void seal(std::string& volume);

// A fresh folder below the process's fuzz root; holds "arch" (the volumes), "out" (the
// target) and "program" (the journal). Removed with everything in it when it goes; the fuzz
// root must then be empty again, or the process aborts (something was written outside).
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  // Windows path text of the folders.
  std::string arch, out, program;

  // Writes the volumes into `folder` (one of the above), named as the packer names them
  // (N.kzv / N.001.kzv, N.002.kzv, ...; a self-extracting first volume N.exe / N.001.exe);
  // returns the first volume's path. Sealed first when the input says so.
  std::string write(const Input& input, const std::string& folder, bool self_extracting = false,
                    std::string_view name = "a");

  const std::filesystem::path& native() const { return native_; }
  // Every path below the scratch folder with its contents ("<dir>" for a folder).
  std::map<std::string, std::string> tree() const;
  // Aborts unless everything below the scratch folder lies in "out", "program" or "arch",
  // "arch" holds exactly `arch_before`, and the fuzz root holds nothing but this folder.
  void require_nothing_outside_out(const std::map<std::string, std::string>& arch_before) const;

 private:
  std::filesystem::path native_;
};

// A Ui that shows nothing, answers questions with `answer`, and reports Abort from the
// `abort_after`-th pump on (never when none). A message, caption or item with a character that
// could steer a terminal is a finding.
class FuzzUi final : public Ui {
 public:
  explicit FuzzUi(std::optional<std::string> answer = std::nullopt,
                  std::optional<std::uint64_t> abort_after = std::nullopt)
      : answer_(std::move(answer)), abort_after_(abort_after) {}
  void show_message(std::string_view text) override;
  std::optional<std::string> ask(std::string_view, std::string_view) override { return answer_; }
  void set_caption(std::string_view text) override;
  void set_item(std::string_view text) override;
  void set_progress_max(std::uint64_t) override {}
  void set_progress(std::uint64_t) override {}
  void advance(std::uint64_t) override {}
  bool pump() override { return abort_after_ && ++pumps_ >= *abort_after_; }

 private:
  std::optional<std::string> answer_;
  std::optional<std::uint64_t> abort_after_;
  std::uint64_t pumps_ = 0;
};

// The password the seed archives that have one were packed with.
inline constexpr std::string_view kSeedPassword = "пароль12";

// Aborts the process (a finding) with the text on stderr.
[[noreturn]] void finding(std::string_view what);

}  // namespace tarvik::fuzz
