#include "runtime/format_settings.h"

namespace kvell {

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

void ResetFormatSettings() { FormatSettings() = TFormatSettings{}; }

}  // namespace kvell
