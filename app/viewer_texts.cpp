#include "app/viewer_texts.h"

#include "runtime/str_convert.h"

namespace kestra {

std::string MissingToolMessage(const std::string& tool) { return "Ni datoteke " + tool; }

std::string StartFailureMessage(const std::string& tool) { return "Napaka pri startanju: " + tool; }

std::optional<std::string> CardToolExitMessage(int32_t code) {
  const char* meaning = nullptr;
  switch (code) {
    case 1: meaning = " - kartice ni v citalcu"; break;
    case 2: meaning = " - ni komunikacije"; break;
    case 3: meaning = " - ne morem odpreti datoteke"; break;
    case 4: meaning = " - napacno stevilo parametrov"; break;
    default: return std::nullopt;
  }
  // A lone CR: the message box breaks the line there.
  return "READACC\r" + kvell::IntToStr(code) + meaning;
}

std::string StatusCaption(const CardState& state) {
  return "STANJE NA KARTICI " + kvell::IntToStr(state.CardNumber) + "   " + state.HolderName;
}

}  // namespace kestra
