#include "window/qt/game.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "window/qt/form1.h"
#include "window/version.h"

namespace zapwit {
namespace {

// While QApplication connects to the display, Qt's messages are held back.
// If it cannot connect, Qt explains over several lines and then aborts with
// a core dump; instead the player gets one line and exit status 1.
QStringList* held_messages = nullptr;
QString* first_message = nullptr;

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

// What the session lacks, as far as the environment tells: a Wayland
// session names its compositor in WAYLAND_DISPLAY, an X11 one its server in
// DISPLAY.
std::string MissingSessionHint(const QString& cause) {
  const bool wayland = IsSet("WAYLAND_DISPLAY");
  const bool x11 = IsSet("DISPLAY");
  if (!wayland && !x11) {
    return " (neither WAYLAND_DISPLAY nor DISPLAY is set; run it from a"
           " desktop session)";
  }
  if (cause.contains(QLatin1String("wl_display"))) {
    return wayland ? std::string(" (no Wayland compositor answers at"
                                 " WAYLAND_DISPLAY=") +
                         std::getenv("WAYLAND_DISPLAY") + ")"
                   : " (WAYLAND_DISPLAY is not set)";
  }
  return x11 ? "" : " (DISPLAY is not set)";
}

void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context,
                        const QString& message) {
  if (first_message->isEmpty()) *first_message = message;
  if (type != QtFatalMsg) {
    held_messages->append(qFormatLogMessage(type, context, message));
    return;
  }
  // The first thing Qt said is the cause ("could not connect to display");
  // what follows is advice about plugins that does not apply here.
  const QString cause = first_message->section(QLatin1Char('\n'), 0, 0);
  std::fprintf(stderr, "zapwit: cannot open the game window: %s%s\n",
               qPrintable(cause.trimmed()), MissingSessionHint(cause).c_str());
  std::_Exit(1);
}

// SIGTERM (the session ending) and SIGINT (Ctrl-C in a terminal) close the
// window as the player would. The handler only writes a byte to a socket
// pair; the event loop reads it and closes the window.
std::array<int, 2> signal_pipe = {-1, -1};

void WakeOnSignal(int /*signal*/) {
  const char byte = 1;
  // Nothing to do if it fails: a byte is already waiting.
  [[maybe_unused]] const ssize_t written = write(signal_pipe[0], &byte, 1);
}

void CloseOnSignals(QWidget& window) {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0,
                 signal_pipe.data()) != 0) {
    return;  // the signals keep their default action
  }
  auto* notifier = new QSocketNotifier(signal_pipe[1], QSocketNotifier::Read,
                                       &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(signal_pipe[1], &byte, 1);
    window.close();
  });
  struct sigaction action {};
  action.sa_handler = WakeOnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

void PreferDirectUpload() {
  // Qt only asks whether the variable is set, so a value of the player's
  // own, whatever it is, stays as it is.
  setenv("QT_XCB_NO_MITSHM", "1", /*overwrite=*/0);
}

int RunGame(int argc, char** argv) {
  QStringList held;
  QString first;
  held_messages = &held;
  first_message = &first;
  // Named before the platform starts: X11 takes WM_CLASS's class from the
  // application name, Wayland the app id from the desktop file name.
  QApplication::setApplicationName(kProductName);
  QApplication::setApplicationVersion(kVersionText);
  QApplication::setDesktopFileName(kAppId);
  PreferDirectUpload();
  qInstallMessageHandler(HoldStartupMessage);
  QApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  held_messages = nullptr;
  first_message = nullptr;
  // Filled by HoldStartupMessage while QApplication started.
  // cppcheck-suppress knownEmptyContainer
  for (const QString& line : held) {
    std::fprintf(stderr, "%s\n", qPrintable(line));
  }

  Form1 form;
  CloseOnSignals(form);
  form.show();
  // With no window manager (a bare X server) nothing else activates it.
  form.activateWindow();
  const int status = QApplication::exec();
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    // Qt 6.4's Wayland teardown can deadlock joining its event thread
    // (seen about one exit in ten on weston), leaving a process with no
    // window. The window is closed and nothing is left to save, so the
    // game ends here.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}

}  // namespace zapwit
