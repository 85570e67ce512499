#include "FrmProgress.h"

#include <QLabel>
#include <QProgressBar>

namespace ravelin {

TFormProgress::TFormProgress(QWidget* parent) :
    TCancelDialog(parent, tr("Processing file:")), LabelFile(AddPathLabel()),
    ProgressBar1(new QProgressBar(this)) {
  ProgressBar1->setTextVisible(false);
  AddWidget(ProgressBar1);
}

void TFormProgress::ShowFile(const QString& fileName, int position, int count) {
  ShowPath(LabelFile, fileName);
  ProgressBar1->setMaximum(count);
  ProgressBar1->setValue(position);
}

} // namespace ravelin
