// The viewer's card state and the two reader data files that fill it:
// KARTICE.DAT (card number, validity period) and ZETONI.DAT (tokens left).
// The parsers only read; the last recognised line of each kind wins.
#pragma once

#include <cstdint>
#include <string>

namespace kestra {

// What the read sequence knows about the card; one instance lives as long as
// the status window. Thread safety: none, the window-system thread owns it.
struct CardState {
  std::string ProgramDir;     // directory of the executable, ends in '/'
  std::string CardFilePath;   // ProgramDir + "KARTICE.DAT"
  std::string TokenFilePath;  // ProgramDir + "ZETONI.DAT"
  int32_t CardNumber = 0;
  int32_t TokenCount = 0;
  std::string ValidFrom;   // as read, not validated
  std::string ValidTo;     // as read, not validated
  std::string HolderName;  // nothing fills it; the read sequence empties it
  bool FirstActivation = true;
};

// Sets CardNumber, ValidFrom and ValidTo from the file's "CC:" and "LD:" lines.
// A file that cannot be opened changes nothing; a failure after opening
// raises kvell::EInOutError.
void ParseCardFile(const std::string& path, CardState& state);

// Sets TokenCount from the file's "ZET:" lines, as ParseCardFile does.
void ParseTokenFile(const std::string& path, CardState& state);

}  // namespace kestra
