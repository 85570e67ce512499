#include "FrmDirScan.h"

#include <QCoreApplication>
#include <QLabel>

#include "Desktop.h"

namespace ravelin {

TFormDirScan::TFormDirScan(QWidget* parent) :
    TCancelDialog(parent, tr("Scanning folders...")), LabelFolder(AddPathLabel()) {}

void TFormDirScan::FolderEntered(const std::string& folder) {
  ShowPath(LabelFolder, QString::fromStdString(folder));
}

bool TFormDirScan::CancelRequested() {
  QCoreApplication::processEvents();
  return Cancelled();
}

void TFormDirScan::ShowError(const std::string& text) {
  Desktop().ShowMessageBox(this, QStringLiteral("Error"), QString::fromStdString(text), TMessageIcon::Error,
                           TMessageButtons::Ok);
}

} // namespace ravelin
