// The dialog of a folder scan: shows the folder being read and offers Cancel,
// which the scan notices before every directory entry.
#pragma once

#include "CancelDialog.h"
#include "scan.h"

class QLabel;

namespace ravelin {

class TFormDirScan final : public TCancelDialog, public TScanObserver {
  Q_OBJECT

public:
  explicit TFormDirScan(QWidget* parent);

  void FolderEntered(const std::string& folder) override;
  // Handles pending events, then reports the cancel flag.
  bool CancelRequested() override;
  // Error box with caption "Error" over this dialog.
  void ShowError(const std::string& text) override;

  QLabel* const LabelFolder;
};

} // namespace ravelin
