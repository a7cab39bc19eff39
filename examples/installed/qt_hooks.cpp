// A Qt program that puts the layer's user-interface hooks on Qt and shows the
// layer's wait cursor through them for one scope.
#include <cstdio>

#include <QApplication>

#include "oracle/ui/ui_hooks.h"
#include "qt/qt_user_interface.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  auto hooks = kvell::InstallQtUserInterface();
  {
    kvell::WaitCursor wait(kvell::crHourGlass);
    std::printf("cursor while waiting %d\n", kvell::GetScreenCursor());
  }
  std::printf("cursor after %d\n", kvell::GetScreenCursor());
  return 0;
}
