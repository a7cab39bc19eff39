// kvell-browse started as a program, offscreen, on a fresh default database:
// its screenshot shows the grid with EMP's fourteen rows.
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

TEST(BrowseProgramTest, a_headless_run_saves_a_screenshot_of_emp_in_the_grid) {
  qt_test::EnsureApplication();
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString screenshot = home.filePath("browse.png");
  QProcess browse;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("OCIEMU_HOME", home.path());  // a new default database
  environment.remove("ORACLE_HOME");
  environment.remove("OCIDLL");
  browse.setProcessEnvironment(environment);
  browse.start(KVELL_BROWSE_PROGRAM, {"--screenshot", screenshot});
  ASSERT_TRUE(browse.waitForFinished(120000));
  const QString output = QString::fromLocal8Bit(browse.readAllStandardOutput());
  ASSERT_EQ(0, browse.exitCode()) << browse.readAllStandardError().toStdString();
  EXPECT_TRUE(output.contains("14 rows")) << output.toStdString();

  QImage image(screenshot);
  ASSERT_FALSE(image.isNull());
  // The grid fills the lower part of the window: a header and fourteen rows of text.
  EXPECT_GE(TextBands(image, image.height() * 2 / 5, image.height()), 15);
}

}  // namespace
}  // namespace kvell
