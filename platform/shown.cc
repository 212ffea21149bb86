#include "platform/shown.h"

std::string shownText(const char *text, bool keepLines) {
  std::string shown = text != nullptr ? text : "";
  for (char &c : shown) {
    bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    if (control && !(keepLines && (c == '\n' || c == '\t'))) c = '?';
  }
  return shown;
}
