// kvell-browse: a desktop browser for query results over the Kvell layer.
// Runs on the embedded ociemu database unless ORACLE_HOME or OCIDLL names a
// client: the installed ociemu home beside an installed program, else the
// build tree's. Options:
//   --username U --password P --database D   logon (default scott/tiger, default database)
//   --sql TEXT        the query (default: EMP)
//   --filter TEXT     a client-side filter applied after opening
//   --example F=TEXT  query by example: TEXT as field F's example (repeatable)
//   --master-detail   show the DEPT/EMP master/detail tab
//   --screenshot FILE log on, open, save a PNG of the window and exit
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "browse_window.h"
#include "master_detail_pane.h"
#include "oracle/kvell_init.h"
#include "qt/qt_user_interface.h"

namespace {

struct BrowseOptions {
  kvell::BrowseLogon logon;
  std::string sql = "select * from emp order by empno";
  std::string filter;
  std::vector<std::pair<std::string, std::string>> examples;
  QString screenshot;
  bool master_detail = false;
};

BrowseOptions parse_options(const QStringList& arguments) {
  BrowseOptions options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& name = arguments[i];
    if (name == QLatin1String("--master-detail")) {
      options.master_detail = true;
      continue;
    }
    if (i + 1 == arguments.size()) break;
    std::string value = arguments[i + 1].toStdString();
    if (name == QLatin1String("--username")) options.logon.username = value;
    else if (name == QLatin1String("--password")) options.logon.password = value;
    else if (name == QLatin1String("--database")) options.logon.database = value;
    else if (name == QLatin1String("--sql")) options.sql = value;
    else if (name == QLatin1String("--filter")) options.filter = value;
    else if (name == QLatin1String("--example") && value.find('=') != std::string::npos)
      options.examples.emplace_back(value.substr(0, value.find('=')), value.substr(value.find('=') + 1));
    else if (name == QLatin1String("--screenshot")) options.screenshot = arguments[i + 1];
    else continue;
    ++i;
  }
  return options;
}

// The ociemu home that an installation puts beside this program, or the one
// of the build tree it was built in.
std::string embedded_oracle_home() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    const fs::path installed = program.parent_path() / KVELL_BROWSE_INSTALLED_ORACLE_HOME;
    if (fs::exists(installed / "lib" / "libclntsh.so", error)) return installed.lexically_normal().string();
  }
  return KVELL_BROWSE_ORACLE_HOME;
}

// Without a client named, the embedded emulator is the Oracle home. Set before
// Qt starts any thread that could read the environment.
void default_to_embedded_client() {
  if (std::getenv("ORACLE_HOME") == nullptr && std::getenv("OCIDLL") == nullptr)
    setenv("ORACLE_HOME", embedded_oracle_home().c_str(), 0);
}

bool query_by_example(kvell::BrowseWindow& window, const std::vector<std::pair<std::string, std::string>>& examples) {
  if (!window.SetQueryByExample(true)) return false;
  try {
    for (const auto& [field, text] : examples) window.DataSet().FieldByName(field)->SetText(text);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return false;
  }
  return window.ApplyQueryByExample();
}

int save_screenshot(kvell::BrowseWindow& window, const QString& path, bool master_detail) {
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QApplication::processEvents();
  if (!window.grab().save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
    return 1;
  }
  if (master_detail) {
    std::printf("%s\n%d rows\n%d detail rows\n", path.toLocal8Bit().constData(),
                window.MasterDetail().MasterModel().rowCount(), window.MasterDetail().DetailModel().rowCount());
  } else {
    std::printf("%s\n%d rows\n", path.toLocal8Bit().constData(), window.Model().rowCount());
  }
  // Says which client an unattended run used.
  if (const char* home = std::getenv("ORACLE_HOME")) std::printf("ORACLE_HOME=%s\n", home);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  kvell::KvellStartUp();
  default_to_embedded_client();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kvell-browse"));
  const BrowseOptions options = parse_options(QApplication::arguments());
  const bool unattended = !options.screenshot.isEmpty();
  // Nobody answers a message box in an unattended run.
  auto hooks = kvell::InstallQtUserInterface(
      unattended ? kvell::QtUserInterface::ErrorReport([](const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
      })
                 : kvell::QtUserInterface::ErrorReport());

  kvell::BrowseWindow window;
  window.SetLogon(options.logon);
  window.SetSQL(options.sql);
  window.show();
  bool ready = window.LogOn() && (options.master_detail ? window.ShowMasterDetail() : window.OpenQuery());
  if (ready && !options.filter.empty()) ready = window.ApplyFilter(options.filter);
  if (ready && !options.examples.empty()) ready = query_by_example(window, options.examples);
  if (unattended) return ready ? save_screenshot(window, options.screenshot, options.master_detail) : 1;
  return QApplication::exec();
}
