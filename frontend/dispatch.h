// The steps of a run after start-up, up to its end.
#pragma once

// Takes the global flags "-verbose" and "-help", resets the rescan worker
// table, runs the chosen command and ends the run with its status.
[[noreturn]] void dispatch(int argc, char **argv);
