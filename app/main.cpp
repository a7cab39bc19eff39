// Kestra's program entry. Options for unattended runs:
//   --screenshot FILE   save a PNG of the window once the card is shown
//   --exit-when-shown   end once the card is shown (messages go to stderr)
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/unit1.h"
#include "oracle/kvell_init.h"
#include "qt/qt_user_interface.h"

namespace {

struct ViewerOptions {
  QString screenshot_path;
  bool exit_when_shown = false;
};

ViewerOptions parse_options(const QStringList& arguments) {
  ViewerOptions options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("--screenshot") && i + 1 < arguments.size())
      options.screenshot_path = arguments[++i];
    else if (arguments[i] == QLatin1String("--exit-when-shown"))
      options.exit_when_shown = true;
  }
  return options;
}

void after_card_shown(kestra::Application& application, kestra::TForm1& form, const ViewerOptions& options) {
  if (!options.screenshot_path.isEmpty()) {
    if (form.grab().save(options.screenshot_path, "PNG"))
      std::printf("%s\n", options.screenshot_path.toLocal8Bit().constData());
    else
      std::fprintf(stderr, "cannot write %s\n", options.screenshot_path.toLocal8Bit().constData());
    std::fflush(stdout);
  }
  if (options.exit_when_shown) application.Terminate();
}

}  // namespace

int main(int argc, char* argv[]) {
  // The layer the viewer carries starts first and is released at exit.
  kvell::KvellStartUp();
  QApplication qt_application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestra"));
  kestra::Application application;
  auto oracle_hooks =
      kvell::InstallQtUserInterface([&application](const std::exception& error) { application.HandleException(error); });
  const ViewerOptions options = parse_options(QApplication::arguments());
  kestra::StderrMessageBox unattended_messages;
  if (options.exit_when_shown) application.SetMessageBox(&unattended_messages);

  kestra::TForm1 Form1(application);
  kestra::TDM DM;
  if (options.exit_when_shown) {
    // Nobody is there to answer an error: end rather than wait for ever.
    application.OnActivate = [&application, read = application.OnActivate](QObject* sender) {
      try {
        read(sender);
      } catch (...) {
        application.Terminate();
        throw;
      }
    };
  }
  Form1.OnCardShown = [&] {
    // Let the filled labels lay out and paint first.
    QTimer::singleShot(0, &Form1, [&] { after_card_shown(application, Form1, options); });
  };
  application.Run(Form1);
  return 0;
}
