// The single way out of the process once a command has started.
#pragma once

// Makes the calling thread the one that ends the run. The first thread to
// call it goes on; every other thread blocks here until the process is gone,
// so a run prints one outcome and ends once, with the status of the first
// failure. Call it before looking up or printing an outcome that ends the run.
void enter_run_end();

// Ends the run: enters the run's end, destroys an open host session, and
// exits with `status` when it lies in 0..255 and with 252 otherwise. A failed
// write of standard output turns a status of 0 into 130.
[[noreturn]] void qzftconfig_exit(int status);
