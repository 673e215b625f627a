// SPDX-License-Identifier: MIT
#include "viewer/ui/window_program.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

#include "platform/text_codec.h"
#include "viewer/app/history_commands.h"
#include "viewer/app/viewer_app.h"
#include "viewer/ui/artwork.h"
#include "viewer/ui/definition_error_box.h"
#include "viewer/ui/file_problem_box.h"
#include "viewer/ui/main_dialog.h"
#include "viewer/ui/qt_viewer_shell.h"

namespace lorvane::ui {
namespace {

std::optional<std::u16string> LanguageOf(const app::CommandLine& command) {
  if (!command.language) return std::nullopt;
  return platform::U16(*command.language);
}

// The card image of --card, or nullopt with the message printed when it cannot be read.
bool LoadCardOption(const app::CommandLine& command, MainDialog::Setup& setup) {
  if (!command.card) return true;
  std::string error;
  setup.cardImage = cardimage::LoadCardImage(*command.card, error);
  if (!setup.cardImage) {
    std::fprintf(stderr, "lorvane: %s\n", error.c_str());
    return false;
  }
  setup.cardImageFile = *command.card;
  return true;
}

// The window as a desktop shows it: its caption bar (icon and caption) above its contents.
// Drawn in the window's units, on as many pixels as a unit has on its screen.
QPixmap WindowPicture(QWidget& window) {
  const QPixmap contents = window.grab();
  const qreal ratio = contents.devicePixelRatio();
  const int captionHeight = window.fontMetrics().height() + 12;
  QPixmap picture(contents.width(), contents.height() + qRound(captionHeight * ratio));
  picture.setDevicePixelRatio(ratio);
  QPainter painter(&picture);
  painter.fillRect(0, 0, window.width(), captionHeight, QColor(0x2b, 0x4c, 0x7e));
  const int iconSize = captionHeight - 8;
  painter.drawPixmap(4, 4, window.windowIcon().pixmap(iconSize));
  painter.setPen(Qt::white);
  painter.drawText(QRect(iconSize + 10, 0, window.width() - iconSize - 14, captionHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, window.windowTitle());
  painter.drawPixmap(0, captionHeight, contents);
  return picture;
}

// The window offscreen, one press of the read button, the window saved as PNG. As on the
// command line, no folder is asked for, messages go to standard error and the viewer's own
// settings file is not written.
int TakeScreenshot(app::ViewerApp& app, const app::CommandLine& command, MainDialog::Setup setup) {
  if (!app.Start(LanguageOf(command))) {
    std::fprintf(stderr, "%s\n", app::kLanguageInitializeError);
    return app::kExitUsage;
  }
  pluginhost::CommandLineUi hostUi;
  MainDialog dialog(app, hostUi, std::move(setup));
  dialog.show();
  QApplication::processEvents();
  dialog.readButton()->click();
  QApplication::processEvents();
  if (!WindowPicture(dialog).save(QString::fromStdString(*command.screenshot), "PNG")) {
    std::fprintf(stderr, "lorvane: %s: cannot be written\n", command.screenshot->c_str());
    return app::kExitUsage;
  }
  if (const auto& image = dialog.model().shownImage())
    std::fputs(app::CardImageNote(*image).c_str(), stderr);
  return app::kExitRead;
}

// Whether Qt can reach a display (or was told where to draw).
bool DisplayAvailable() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (!qEnvironmentVariableIsEmpty(variable)) return true;
  }
  return false;
}

}  // namespace

int RunWindowProgram(int argc, char** argv, const app::CommandLine& command,
                     const std::string& executable) {
  // A screenshot needs no display (an offscreen platform given with its options is kept).
  if (command.screenshot) {
    if (!qgetenv("QT_QPA_PLATFORM").startsWith("offscreen"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
  } else if (!DisplayAvailable()) {
    std::fputs(
        "lorvane: there is no display to open the window on; print the card with\n"
        "  lorvane --read\n",
        stderr);
    return app::kExitUsage;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("lorvane"));
  QApplication::setWindowIcon(ProgramIcon());
  MainDialog::Setup setup;
  if (!LoadCardOption(command, setup)) return app::kExitUsage;
  app::ViewerApp app(executable);
  if (!command.noArchive) setup.archive = lorvane::app::ArchiveFile(command, app);
  if (command.screenshot) return TakeScreenshot(app, command, std::move(setup));
  const DefinitionErrorBox definitionErrors;
  const FileProblemBox fileProblems;
  QtViewerShell shell(std::move(setup));
  return app.Run(shell, LanguageOf(command)) ? app::kExitRead : app::kExitUsage;
}

}  // namespace lorvane::ui
