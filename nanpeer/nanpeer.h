// nanpeer's whole run: start-up, the wait, shutdown.
#pragma once

// Returns the exit status.
int run(int argc, char **argv);
