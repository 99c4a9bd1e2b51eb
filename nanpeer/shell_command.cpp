// The one place nanpeer starts shell commands.
#include "shell_command.h"

#include <cstdio>
#include <cstdlib>

void run_shell_command(const char *command_line) {
  // Our buffered lines come before whatever the command prints.
  std::fflush(stdout);
  const int status = std::system(command_line);
  static_cast<void>(status);
}
