// Simulated reader tool, built twice: as READACC.EXE it writes KARTICE.DAT
// lines, as READZET.EXE ZETONI.DAT lines, to the path given as its one
// argument. Environment variables choose what it does (see README.md):
//   KESTRA_SIM_CARD, KESTRA_SIM_FROM, KESTRA_SIM_TO, KESTRA_SIM_TOKENS   the data
//   KESTRA_SIM_<TOOL>_EXIT      exit code; non-zero writes nothing
//   KESTRA_SIM_<TOOL>_DELAY_MS  time to take before writing
//   KESTRA_SIM_<TOOL>_LINES     extra lines appended as given, separated by '|'
// where <TOOL> is READACC or READZET.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

// Exit codes the viewer understands.
constexpr int kCannotOpenFile = 3;
constexpr int kWrongParameterCount = 4;

std::string setting(const std::string& name, const char* fallback) {
  const char* value = std::getenv(name.c_str());
  return value ? value : fallback;
}

int number_setting(const std::string& name, int fallback) {
  const char* value = std::getenv(name.c_str());
  return value ? std::atoi(value) : fallback;
}

#ifdef READER_SIM_CARD
// A field of exactly `width` characters: cut or padded with blanks.
std::string fixed_width(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}
#endif

std::string padded_number(int value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

std::string data_lines() {
#ifdef READER_SIM_CARD
  return "CC:" + padded_number(number_setting("KESTRA_SIM_CARD", 1234), 5) + "\r\n" + "LD:" +
         fixed_width(setting("KESTRA_SIM_FROM", "01.01.2026"), 10) + "-" +
         fixed_width(setting("KESTRA_SIM_TO", "31.12.2026"), 10) + "\r\n";
#else
  return "ZET: " + padded_number(number_setting("KESTRA_SIM_TOKENS", 150), 5) + "\r\n";
#endif
}

std::string extra_lines(const std::string& tool) {
  std::string lines = setting("KESTRA_SIM_" + tool + "_LINES", "");
  if (lines.empty()) return lines;
  for (char& c : lines)
    if (c == '|') c = '\n';
  return lines + "\n";
}

}  // namespace

int main(int argc, char* argv[]) {
#ifdef READER_SIM_CARD
  const std::string tool = "READACC";
#else
  const std::string tool = "READZET";
#endif
  if (argc != 2) return kWrongParameterCount;
  std::this_thread::sleep_for(std::chrono::milliseconds(number_setting("KESTRA_SIM_" + tool + "_DELAY_MS", 0)));
  if (int code = number_setting("KESTRA_SIM_" + tool + "_EXIT", 0); code != 0) return code;

  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) return kCannotOpenFile;
  std::string content = data_lines() + extra_lines(tool);
  bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  return std::fclose(file) == 0 && written ? 0 : kCannotOpenFile;
}
