// The console a command-line front end runs in: arguments and output as UTF-8, a question
// read without echo, Ctrl-C as a request to abort, and argument paths made absolute.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::console {

// The program's arguments (without the program name) as UTF-8.
std::vector<std::string> arguments(int argc, char** argv);
void write_out(std::string_view utf8);
void write_err(std::string_view utf8);
bool stderr_is_terminal();
int terminal_width();  // 80 when unknown
// One line from the terminal (without echo when `hidden`), or from standard input when that is
// not a terminal; nullopt at end of input or on Ctrl-C.
std::optional<std::string> read_line(std::string_view prompt, bool hidden);
// From now on Ctrl-C, Ctrl-Break and termination (SIGTERM and SIGHUP on Linux; closing the
// console, logging off and shutting down on Windows, where the process is held for a few
// seconds until main returns) only set the flag that interrupted() reports.
void catch_interrupt();
bool interrupted();
// A point a test can hold a run at: with the environment variable TARVIK_HOLD_AT naming the
// file name of an item, the run is held when that item begins, so that a test acts mid-run at
// a known point however loaded the machine is. On Linux the process stops itself (SIGSTOP); on
// Windows the thread sets the event "Local\TarvikHeld.<process id>" and waits until the
// console asks to stop, for ever in the window program. Without it, nothing happens. Both
// front ends call it where an item begins.
void hold_point(std::string_view item);
// Whether the user's system writes paths natively ("/tmp/a" on Linux) rather than as Windows
// text ("C:\\a").
bool native_paths();
// The absolute Windows path text of a path given on the command line (native form).
std::string absolute_path(const std::string& argument);

}  // namespace tarvik::console
