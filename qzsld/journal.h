// The journal (--journal): one line per operation received, written as the
// call arrives and flushed at once, so that tests see exactly what was asked.
#pragma once
#include <string>

void openJournal(const std::string &path);  // throws std::runtime_error
void closeJournal();
// Appends "<UTC time> op arg arg ..." (arguments already rendered); a no-op
// without a journal.
void journalCall(const std::string &op, const std::string &renderedArgs);
