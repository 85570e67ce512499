// The small modeless dialog of a long operation: a headline, the operation's
// own widgets, and a "Cancel" button (also on Escape and the close box) that
// raises a flag which the operation polls between its steps.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ravelin {

class TCancelDialog : public QDialog {
  Q_OBJECT

public:
  TCancelDialog(QWidget* parent, const QString& headline);

  bool Cancelled() const { return CancelFlag; }
  // Escape and the close box act as Cancel; the dialog stays open.
  void reject() override;

  QPushButton* const Button1; // "Cancel"

signals:
  // Cancel was asked for (button, Escape or the close box).
  void CancelRequested();

protected:
  // A bold centred label for a path, added above the button.
  QLabel* AddPathLabel();
  // Shows text in label, shortened in the middle to the label's width.
  static void ShowPath(QLabel* label, const QString& text);
  // Adds widget above the button.
  void AddWidget(QWidget* widget);

private:
  QVBoxLayout* const Layout;
  bool CancelFlag = false;
};

} // namespace ravelin
