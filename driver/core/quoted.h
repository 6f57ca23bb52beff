// Texts the instrument receives between double quotes, as they stand.
#ifndef KAVREL_CORE_QUOTED_H
#define KAVREL_CORE_QUOTED_H

#include "driver/kavrel.h"

namespace kavrel {

// True when the text can be sent between double quotes unchanged: it holds no
// double quote (which would end the text early and let the rest be taken as
// commands) and no control character (a line feed ends the message). A null
// text is not quotable.
constexpr bool quotable(ViConstString text) {
  if (text == VI_NULL) return false;
  for (; *text != '\0'; ++text) {
    const auto c = static_cast<unsigned char>(*text);
    if (c == '"' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace kavrel

#endif
