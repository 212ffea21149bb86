// Standard output of a run: the first failed write ends the run, so that no
// remote call is made for output that nobody will get.
#pragma once

// Ends the run when the write just made to standard output failed; call it
// right after the write, whose errno tells why. A pipe or a socket is flushed
// first, so that a reader that went away is noticed at the record it no
// longer took; a file keeps its buffer, whose failure shows at its next
// write. With `flush`, what is buffered is written first in any case.
void endRunIfOutputFailed(bool flush);

