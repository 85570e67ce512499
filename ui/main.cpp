// Program start: the floating-point mode for the program's whole life (also
// restored when an error ends it), the application, the main window and the
// event loop.
#include <exception>
#include <iostream>

#include <QApplication>

#include "FrmMain.h"
#include "buffers.h"

int main(int argc, char* argv[]) {
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
