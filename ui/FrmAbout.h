// The about box: product name, version, maker's notice and, when the build
// names one, the product's web address (a double click opens it).
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace ravelin {

class TFormAbout final : public QDialog {
  Q_OBJECT

public:
  explicit TFormAbout(QWidget* parent);

  QLabel* const LabelVersion;
  QLabel* LabelWeb = nullptr; // none when the build has no web address
  QPushButton* const ButtonOK;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ravelin
