// SPDX-License-Identifier: MIT
// Tests of Qt dialogs run offscreen, inside one application: no display is needed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // A home of the tests' own: what Qt's dialogs remember (the last folder visited) goes there
  // and not into the user's settings.
  QTemporaryDir home;
  qputenv("HOME", home.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
  // Qt's own file dialogs, which a test can answer, rather than a desktop's.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
