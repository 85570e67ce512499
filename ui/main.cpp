// Program start: the floating-point mode for the program's whole life (also
// restored when an error ends it), the application, the main window and the
// event loop. --version and --help are answered without a window.
#include <exception>
#include <iostream>
#include <string_view>

#include <QApplication>

#include "FrmMain.h"
#include "buffers.h"
#include "version.h"

namespace {

constexpr const char* HelpText =
    "Usage: ravelin [QT-OPTION...]\n"
    "The desktop application of Ravelin: turns sine-sweep recordings into impulse\n"
    "responses. Its window takes the test tone and the recordings (files, or a\n"
    "folder scanned with or without its subfolders), sets the options and runs the\n"
    "batch; the settings are kept between sessions.\n"
    "\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Qt's own options (such as -platform NAME) are accepted too. ravelin-cli does\n"
    "the same work from the command line.\n";

// True when the only argument asks for the version or the help, which is then printed.
bool AnswerInfoOption(int argc, char* argv[]) {
  if (argc != 2)
    return false;
  const std::string_view option = argv[1];
  if (option == "--version")
    std::cout << "ravelin " << ravelin::VersionText << '\n';
  else if (option == "--help" || option == "-h")
    std::cout << HelpText;
  else
    return false;
  return true;
}

} // namespace

int main(int argc, char* argv[]) {
  if (AnswerInfoOption(argc, argv))
    return 0;
  const ravelin::TFPUModeGuard fpuMode;
  try {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ravelin"));
    ravelin::TFormMain formMain;
    formMain.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    std::cerr << "Ravelin: " << error.what() << '\n';
    return 1;
  }
}
