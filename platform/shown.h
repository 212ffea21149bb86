// Text that came from the service, as the terminal gets to see it.
#pragma once
#include <string>

// `text` with every control byte (0x00-0x1F and 0x7F) shown as '?', so that a
// name or message cannot move the cursor, recolour the terminal or forge a
// line of its own; with `keepLines`, newline and tab stay as they are. A null
// text is the empty string.
std::string shownText(const char *text, bool keepLines);
