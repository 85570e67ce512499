#include "CancelDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ravelin {

namespace {
// Width of the path labels in pixels; longer paths are shortened.
constexpr int PathLabelWidth = 380;
} // namespace

TCancelDialog::TCancelDialog(QWidget* parent, const QString& headline) :
    QDialog(parent), Button1(new QPushButton(tr("Cancel"), this)), Layout(new QVBoxLayout(this)) {
  setWindowTitle(QStringLiteral("Quorvant Ravelin"));
  auto* headlineLabel = new QLabel(headline, this);
  headlineLabel->setAlignment(Qt::AlignCenter);
  Layout->addWidget(headlineLabel);
  Layout->addWidget(Button1, 0, Qt::AlignHCenter);
  Layout->setSizeConstraint(QLayout::SetFixedSize);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TCancelDialog::reject);
}

void TCancelDialog::reject() {
  CancelFlag = true;
  emit CancelRequested();
}

QLabel* TCancelDialog::AddPathLabel() {
  auto* label = new QLabel(this);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setAlignment(Qt::AlignCenter);
  label->setFixedWidth(PathLabelWidth);
  AddWidget(label);
  return label;
}

void TCancelDialog::ShowPath(QLabel* label, const QString& text) {
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
  label->setToolTip(text);
}

void TCancelDialog::AddWidget(QWidget* widget) {
  Layout->insertWidget(Layout->count() - 1, widget);
}

} // namespace ravelin
