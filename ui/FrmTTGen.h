// The test tone generator dialog: sweep format and duration, a proposed file
// name, a save dialog, and the sweep written with GenerateSweep. Its settings
// are read when it is created and written when it closes.
#pragma once

#include <QDialog>

#include "sweep.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace ravelin {

class TFormTTGen final : public QDialog {
  Q_OBJECT

public:
  explicit TFormTTGen(QWidget* parent);

  // Writes the settings, then closes.
  void done(int result) override;

  // Validates the duration (a refusal only moves the focus to EditDuration),
  // asks for the output file and writes the sweep. Writer errors propagate.
  void ButtonGenClick();
  // The sweep of the current controls with the given duration (seconds).
  TSweepSettings SweepSettings(float duration) const;
  // "Sweep-<rate>-<bits>-<channels>-<duration>s[-fade].wav".
  QString ProposedFileName(float duration) const;

  QComboBox* const ComboBoxBD;
  QComboBox* const ComboBoxSR;
  QComboBox* const ComboBoxChn;
  QLineEdit* const EditDuration;
  QCheckBox* const CheckBoxFade;
  QPushButton* const ButtonGen;

private:
  void FormCreate();
  void FormClose();
};

} // namespace ravelin
