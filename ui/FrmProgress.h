// The progress dialog of a processing run: the name of the file being
// processed, a bar over the list, and Cancel, which the run notices between
// files.
#pragma once

#include "CancelDialog.h"

class QLabel;
class QProgressBar;

namespace ravelin {

class TFormProgress final : public TCancelDialog {
  Q_OBJECT

public:
  explicit TFormProgress(QWidget* parent);

  // Shows fileName and sets the bar to position of count.
  void ShowFile(const QString& fileName, int position, int count);

  QLabel* const LabelFile;
  QProgressBar* const ProgressBar1;
};

} // namespace ravelin
