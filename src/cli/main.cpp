// tarvik: the console front end over the archiver's core.
#include <exception>
#include <new>
#include <string>

#include "cli/commands.h"
#include "format/messages.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  // The last guard: whatever escapes the commands is shown in words and fails the run.
  try {
    tarvik::console::catch_interrupt();
    tarvik::msg::show_native_paths(tarvik::console::native_paths());
    tarvik::cli::recover_first();
    if (auto status = tarvik::cli::run_self_extracting()) return *status;
    return tarvik::cli::run(tarvik::console::arguments(argc, argv));
  } catch (const std::bad_alloc&) {
    tarvik::console::write_err("tarvik: " + std::string(tarvik::msg::kOutOfMemory) + "\n");
  } catch (const std::exception& error) {
    tarvik::console::write_err(std::string("tarvik: ") + error.what() + "\n");
  } catch (...) {
    tarvik::console::write_err("tarvik: " + std::string(tarvik::msg::kUnexpectedError) + "\n");
  }
  return tarvik::cli::kExitFailed;
}
