// Standard output of a run: the first failed write ends the run, so that no
// remote call is made for output that nobody will get.
#pragma once

// Ends the run when the write just made to standard output failed; call it
// right after the write, whose errno tells why. A pipe or a socket is flushed
// first, so that a reader that went away is noticed at the record it no
// longer took; a file keeps its buffer, whose failure shows at its next
// write. With `flush`, what is buffered is written first in any case.
void endRunIfOutputFailed(bool flush);

// Flushes standard output at the end of the run and gives the status to end
// with: after a failed write, 130 whatever the status, with the reason on
// standard error; a reader that went away is no error of the run.
int flushStandardOutput(int status);

// Ends the process as a filter ends whose reader went away: killed by SIGPIPE.
// Returns when standard output kept its reader.
void endIfReaderGone();
