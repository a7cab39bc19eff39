#include "app/card_files.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "runtime/str_convert.h"
#include "runtime/text_file.h"

namespace kestra {
namespace {

// Up to `length` characters from 1-based `column`; fewer (or none) on a short line.
std::string_view field(std::string_view line, size_t column, size_t length) {
  if (line.size() < column) return {};
  return line.substr(column - 1, length);
}

void apply_card_line(std::string_view line, int32_t& last_good_number, CardState& state) {
  if (line.starts_with("CC:")) {
    if (auto number = kvell::TryStrToInt(field(line, 4, 5))) last_good_number = *number;
    state.CardNumber = last_good_number;
  }
  if (line.starts_with("LD:")) {
    state.ValidFrom = field(line, 4, 10);
    state.ValidTo = field(line, 15, 10);
  }
}

void apply_token_line(std::string_view line, CardState& state) {
  if (!line.starts_with("ZET:")) return;
  state.TokenCount = kvell::TryStrToInt(field(line, 6, 5)).value_or(0);
}

// Feeds every line of the file to `apply`. A directory opens on Linux but is
// no data file, so it counts as a file that cannot be opened.
template <typename ApplyLine>
void for_each_line(const std::string& path, ApplyLine apply) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return;
  kvell::TextFileReader reader(path);
  if (!reader.IsOpen()) return;
  std::string line;
  while (reader.ReadLine(line)) apply(line);
  reader.Close();
}

}  // namespace

void ParseCardFile(const std::string& path, CardState& state) {
  int32_t last_good_number = 0;
  for_each_line(path, [&](std::string_view line) { apply_card_line(line, last_good_number, state); });
}

void ParseTokenFile(const std::string& path, CardState& state) {
  for_each_line(path, [&](std::string_view line) { apply_token_line(line, state); });
}

}  // namespace kestra
