// The simulator without a window: drives a run from the command line, event-log lines on
// standard output, a progress line on a terminal's standard error.
#pragma once

// Arguments as the window takes them ("/f:[PATH]"), plus --pace, --fast, --seed, --members,
// --exit-when-done, --help, --version; a leading "--headless" is passed over. Returns the
// exit status: 0 at "All Done" or automatic shutdown, 1 when the run fails (its message on
// standard error), 2 for wrong arguments, 130 when stopped by Ctrl-C.
int run_headless(int argc, char** argv);
