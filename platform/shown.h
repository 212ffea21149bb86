// Text that came from the service, as a terminal or the debug log gets to see it.
#pragma once
#include <string>

// `text` with every character that could steer a terminal or hide what a
// line says shown as '?': the C0 controls, DEL, the C1 controls (U+0080 to
// U+009F, among them the CSI that some terminals take as an escape), the
// bidirectional embeddings, overrides and isolates (U+202A to U+202E,
// U+2066 to U+2069), and each byte that is not part of well-formed UTF-8 (a
// lone 0x9B is the one-byte CSI). So a name or message cannot move the
// cursor, recolour the terminal, reorder what follows it or forge a line of
// its own. With `keepLines`, newline and tab stay as they are. Other text,
// "é" or CJK among it, is kept. A null text is the empty string.
std::string shownText(const char *text, bool keepLines);
