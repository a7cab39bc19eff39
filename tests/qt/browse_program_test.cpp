// kvell-browse started as a program, offscreen, on a fresh default database:
// its screenshot shows the grid with EMP's fourteen rows, or the DEPT/EMP
// master/detail pair.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/qt/qt_test_support.h"

namespace kvell {
namespace {

// Horizontal bands of dark (text) pixels between rows first and last.
int TextBands(const QImage& image, int first, int last) {
  int bands = 0;
  bool in_band = false;
  for (int y = first; y < last; ++y) {
    bool dark = false;
    for (int x = 0; x < image.width() && !dark; ++x) dark = qGray(image.pixel(x, y)) < 100;
    if (dark && !in_band) ++bands;
    in_band = dark;
  }
  return bands;
}

// kvell-browse run headless on a fresh default database: what it printed and
// the screenshot it saved.
struct BrowseRun {
  QString output;
  QImage image;
};

BrowseRun RunHeadless(QStringList arguments) {
  qt_test::EnsureApplication();
  QTemporaryDir home;
  EXPECT_TRUE(home.isValid());
  const QString screenshot = home.filePath("browse.png");
  QProcess browse;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("OCIEMU_HOME", home.path());  // a new default database
  environment.remove("ORACLE_HOME");
  environment.remove("OCIDLL");
  browse.setProcessEnvironment(environment);
  browse.start(KVELL_BROWSE_PROGRAM, arguments << "--screenshot" << screenshot);
  EXPECT_TRUE(browse.waitForFinished(120000));
  EXPECT_EQ(0, browse.exitCode()) << browse.readAllStandardError().toStdString();
  return {QString::fromLocal8Bit(browse.readAllStandardOutput()), QImage(screenshot)};
}

TEST(BrowseProgramTest, a_headless_run_saves_a_screenshot_of_emp_in_the_grid) {
  const BrowseRun run = RunHeadless({});
  EXPECT_TRUE(run.output.contains("\n14 rows\n")) << run.output.toStdString();
  ASSERT_FALSE(run.image.isNull());
  // The grid fills the lower part of the window: a header and fourteen rows of text.
  EXPECT_GE(TextBands(run.image, run.image.height() * 2 / 5, run.image.height()), 15);
}

TEST(BrowseProgramTest, the_master_detail_tab_shows_dept_and_the_employees_of_its_first_department) {
  const BrowseRun run = RunHeadless({"--master-detail"});
  EXPECT_TRUE(run.output.contains("\n4 rows\n3 detail rows\n")) << run.output.toStdString();
  ASSERT_FALSE(run.image.isNull());
  // A label and a navigator over each grid, each grid's header and rows (DEPT's
  // four, department 10's three), the status line.
  EXPECT_GE(TextBands(run.image, run.image.height() / 5, run.image.height()), 2 + 5 + 2 + 4 + 1);
}

}  // namespace
}  // namespace kvell
