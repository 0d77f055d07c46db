// tarvik: the console front end over the archiver's core.
#include "cli/commands.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  tarvik::console::catch_interrupt();
  if (auto status = tarvik::cli::run_self_extracting()) return *status;
  return tarvik::cli::run(tarvik::console::arguments(argc, argv));
}
