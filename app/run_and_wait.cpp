#include <optional>

#include "app/program_files.h"
#include "app/unit1.h"
#include "app/viewer_texts.h"

namespace kestra {
namespace {

// Longest sleep between looks at the child. The wait wakes at once on window
// events and, where the kernel offers an exit descriptor, on the child's end;
// the slice only bounds the wait otherwise.
constexpr int kWaitSliceMs = 20;

std::optional<std::string> unless_blank(const std::string& text) {
  if (IsBlankText(text)) return std::nullopt;
  return text;
}

}  // namespace

int32_t RunAndWait(Application& application, const std::string& Directory, const std::string& FileName,
                   const std::string& Parameters) {
  int32_t code = 0;
  auto child = application.Launcher().Start({FileName, unless_blank(Parameters), unless_blank(Directory)});
  if (!child) {
    application.ShowMessage(StartFailureMessage(FileName));
    return code;
  }
  for (;;) {
    application.ProcessMessages();
    if (auto exit_code = child->TryExitCode()) return *exit_code;
    if (application.Terminated()) return kStillActive;
    application.WaitForMessages(child->ExitDescriptor(), kWaitSliceMs);
  }
}

}  // namespace kestra
