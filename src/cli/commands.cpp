#include "cli/commands.h"

#include <algorithm>
#include <map>
#include <optional>

#include "browse/table.h"
#include "cli/help.h"
#include "cli/terminal_ui.h"
#include "format/encryption.h"
#include "format/fields.h"
#include "format/layout.h"
#include "format/messages.h"
#include "format/names.h"
#include "format/printable.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/fs.h"
#include "requests/operations.h"

namespace tarvik::cli {

namespace {

// Options and operands of one command line.
struct Args {
  std::vector<std::string> operands;
  std::map<std::string, std::string> values;  // -n NAME and the like
  std::vector<std::string> flags;             // -s, -r
  std::string error;

  bool flag(const std::string& f) const {
    return std::find(flags.begin(), flags.end(), f) != flags.end();
  }
  std::optional<std::string> value(const std::string& key) const {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

Args parse(const std::vector<std::string>& args, std::size_t from,
           const std::vector<std::string>& with_value, const std::vector<std::string>& flags) {
  Args parsed;
  bool options = true;
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a.size() > 1 && a[0] == '-') {
      if (std::find(with_value.begin(), with_value.end(), a) != with_value.end()) {
        if (i + 1 >= args.size()) {
          parsed.error = msg::usage_needs_value(a);
          return parsed;
        }
        parsed.values[a] = args[++i];
      } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
        parsed.flags.push_back(a);
      } else {
        parsed.error = msg::usage_unknown_option(a);
        return parsed;
      }
    } else {
      parsed.operands.push_back(a);
    }
  }
  return parsed;
}

// The -j value: workers for compression or extraction; 0 (the default) means the machine's
// cores. False when it is no number from 1 to 999.
bool threads_option(const Args& args, unsigned& threads) {
  threads = 0;
  auto text = args.value("-j");
  if (!text) return true;
  auto n = format::parse_decimal(*text);
  if (!n || *n < 1 || *n > 999) return false;
  threads = static_cast<unsigned>(*n);
  return true;
}

// -l N: the compression level, 1 to 12 (the default level without it).
bool level_option(const Args& args, int& level) {
  level = kDefaultLevel;
  auto text = args.value("-l");
  if (!text) return true;
  auto n = format::parse_decimal(*text);
  if (!n || *n < static_cast<std::uint64_t>(kMinLevel) ||
      *n > static_cast<std::uint64_t>(kMaxLevel))
    return false;
  level = static_cast<int>(*n);
  return true;
}

int usage(const std::string& problem) {
  console::write_err("tarvik: " + format::printable(problem) + "\n" + std::string(msg::kUsageHelp) + "\n");
  return kExitUsage;
}

using requests::exit_status;

std::string program_folder() {
  return std::string(format::folder_part(fs::own_executable_path()));
}

// "docs/sub", "\docs\sub" and "docs\sub" all name the level "\docs\sub"; "" and "\" the top.
std::string normalize_level(std::string level) {
  std::replace(level.begin(), level.end(), '/', '\\');
  while (!level.empty() && level.back() == '\\') level.pop_back();
  if (!level.empty() && level.front() != '\\') level.insert(level.begin(), '\\');
  return level;
}

int pack(const std::vector<std::string>& argv) {
  Args args = parse(argv, 1, {"-n", "-p", "-v", "-j", "-l"}, {"-s", "-e", "--encrypt"});
  if (!args.error.empty()) return usage(args.error);
  unsigned threads = 0;
  if (!threads_option(args, threads)) return usage(std::string(msg::kUsageThreads));
  int level = kDefaultLevel;
  if (!level_option(args, level)) return usage(std::string(msg::kUsageLevel));
  if (args.operands.empty()) return usage(std::string(msg::kUsageNoItems));
  Selection selection;
  for (const auto& item : args.operands) {
    std::string path = console::absolute_path(item);
    std::string folder(format::folder_part(path));
    std::string name(format::file_name_part(path));
    if (name.empty() || folder.empty()) return usage(msg::usage_cannot_pack(item));
    if (selection.shown_folder.empty()) selection.shown_folder = folder;
    if (folder != selection.shown_folder)
      return usage(msg::usage_items_in_one_folder(item));
    selection.items.push_back(name);
  }
  PackOptions options;
  options.archive_name = args.value("-n").value_or("arhiv");
  options.password = args.value("-p").value_or("");
  if (auto kb = args.value("-v")) {
    options.multi_volume = true;
    options.volume_size_kb = *kb;
  }
  options.self_extracting = args.flag("-s");
  options.program_folder = program_folder();
  options.threads = threads;
  options.level = level;
  options.encrypt = args.flag("-e") || args.flag("--encrypt");
  if (options.encrypt && !args.value("-p")) {
    // Typed twice: a mistyped password would lose the data for good.
    auto typed = console::read_line(std::string(msg::kEncryptionPasswordQuestion) + ": ", true);
    if (!typed || format::trim(*typed).empty()) return usage(std::string(msg::kEncryptionNeedsPassword));
    options.password = *typed;
    options.password_repeat =
        console::read_line(std::string(msg::kRepeatPasswordQuestion) + ": ", true).value_or("");
  }
  const std::size_t longest =
      options.encrypt ? format::kMaxEncryptionPasswordChars : format::kMaxPasswordChars;
  if (codepage::code_points(format::trim(options.password)) > longest)
    return usage(std::string(options.encrypt ? msg::kUsageEncryptionPasswordTooLong
                                             : msg::kUsagePasswordTooLong));

  TerminalUi ui;
  requests::DirectDialog dialog(ui);
  std::string first = format::volume_file_name(
      selection.shown_folder, options.archive_name,
      {options.multi_volume, options.self_extracting}, 1);
  Outcome outcome = requests::pack(selection, options, OperationCode::PackRequest,
                                   std::string(format::file_name_part(first)), dialog);
  ui.clear_line();
  if (outcome == Outcome::Done) console::write_out(msg::archive_created(first) + "\n");
  return exit_status(outcome);
}

int unpack(const std::vector<std::string>& argv) {
  Args args = parse(argv, 1, {"-C", "-p", "-j"}, {});
  if (!args.error.empty()) return usage(args.error);
  if (args.operands.size() != 1) return usage(std::string(msg::kUsageOneArchive));
  unsigned threads = 0;
  if (!threads_option(args, threads)) return usage(std::string(msg::kUsageThreads));
  std::string archive = console::absolute_path(args.operands[0]);
  auto target_arg = args.value("-C");
  std::string target =
      target_arg ? console::absolute_path(*target_arg) : std::string(format::folder_part(archive));

  TerminalUi ui(args.value("-p"));
  requests::DirectDialog dialog(ui);
  requests::UnpackJob job;
  job.archive = archive;
  job.target_folder = target;
  job.target = target_arg ? requests::Target::AnyFolder : requests::Target::Existing;
  job.code = target_arg ? OperationCode::UnpackToFolderRequest : OperationCode::UnpackFromWindow;
  job.program_folder = program_folder();
  job.threads = threads;
  return exit_status(requests::unpack(job, dialog, ui));
}

int test(const std::vector<std::string>& argv) {
  Args args = parse(argv, 1, {"-p"}, {});
  if (!args.error.empty()) return usage(args.error);
  if (args.operands.size() != 1) return usage(std::string(msg::kUsageOneArchive));
  std::string archive = console::absolute_path(args.operands[0]);
  TerminalUi ui(args.value("-p"));
  const Outcome outcome = requests::test(archive, ui);
  ui.clear_line();
  if (outcome == Outcome::Done) console::write_out(msg::no_errors_found(archive) + "\n");
  return requests::exit_status(outcome);
}

int list(const std::vector<std::string>& argv) {
  Args args = parse(argv, 1, {"-p"}, {"-r"});
  if (!args.error.empty()) return usage(args.error);
  if (args.operands.empty() || args.operands.size() > 2) return usage(std::string(msg::kUsageArchiveAndLevel));
  std::string archive = console::absolute_path(args.operands[0]);
  TerminalUi ui(args.value("-p"));
  if (!requests::listing_allowed(archive, ui)) return kExitFailed;
  browse::TableRequest table;
  table.first_volume = archive;
  if (!args.flag("-r")) table.level = normalize_level(args.operands.size() > 1 ? args.operands[1] : "");
  return requests::exit_status(browse::write_table(table, ui, console::write_out));
}

int extract(const std::vector<std::string>& argv) {
  Args args = parse(argv, 1, {"-C", "-p", "--level"}, {});
  if (!args.error.empty()) return usage(args.error);
  if (args.operands.size() < 2) return usage(std::string(msg::kUsageArchiveAndEntries));
  requests::NamedJob job;
  job.archive = console::absolute_path(args.operands[0]);
  job.level = normalize_level(args.value("--level").value_or(""));
  auto target_arg = args.value("-C");
  job.target_folder = target_arg ? console::absolute_path(*target_arg)
                                 : std::string(format::folder_part(job.archive));
  job.program_folder = program_folder();
  for (std::size_t i = 1; i < args.operands.size(); ++i) {
    std::string name = args.operands[i];
    while (name.size() > 1 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
    job.names.push_back(name);
  }
  TerminalUi ui(args.value("-p"));
  requests::DirectDialog dialog(ui);
  const Outcome outcome = requests::extract_named(job, dialog, ui);
  ui.clear_line();
  return requests::exit_status(outcome);
}

}  // namespace

void recover_first() {
  TerminalUi ui;
  requests::recover_first(program_folder(), ui);
}

int run(const std::vector<std::string>& args) {
  if (args.empty()) return usage(std::string(msg::kUsageNoCommand));
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    console::write_out(kHelp);
    return kExitOk;
  }
  if (command == "pack") return pack(args);
  if (command == "unpack") return unpack(args);
  if (command == "test") return test(args);
  if (command == "list") return list(args);
  if (command == "extract") return extract(args);
  return usage(msg::usage_unknown_command(command));
}

std::optional<int> run_self_extracting() {
  const std::string own = fs::own_executable_path();
  TerminalUi ui;
  requests::DirectDialog dialog(ui);
  const auto outcome =
      requests::run_if_self_extracting(own, std::string(format::folder_part(own)), dialog, ui);
  if (!outcome) return std::nullopt;
  return exit_status(*outcome);
}

}  // namespace tarvik::cli
