#include "FrmAbout.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Desktop.h"

#ifndef RAVELIN_VERSION
#error "RAVELIN_VERSION must name the build's version"
#endif
#ifndef RAVELIN_WEB_ADDRESS
#error "RAVELIN_WEB_ADDRESS must be defined (empty for no address line)"
#endif

namespace ravelin {

namespace {

QLabel* CentredLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

} // namespace

TFormAbout::TFormAbout(QWidget* parent) :
    QDialog(parent), LabelVersion(CentredLabel(tr("Version %1").arg(QStringLiteral(RAVELIN_VERSION)), this)),
    ButtonOK(new QPushButton(tr("&OK"), this)) {
  setWindowTitle(MessageCaption);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->setSpacing(8);
  QLabel* product = CentredLabel(QStringLiteral("Quorvant Ravelin"), this);
  QFont bold = product->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.5);
  product->setFont(bold);
  layout->addWidget(product);
  layout->addWidget(LabelVersion);
  layout->addWidget(CentredLabel(tr("Copyright \u00a9 Quorvant"), this));
  const QString address = QStringLiteral(RAVELIN_WEB_ADDRESS);
  if (!address.isEmpty()) {
    LabelWeb = CentredLabel(address, this);
    LabelWeb->setCursor(Qt::PointingHandCursor);
    LabelWeb->installEventFilter(this);
    layout->addWidget(LabelWeb);
  }
  layout->addSpacing(8);
  layout->addWidget(ButtonOK, 0, Qt::AlignHCenter);
  // OK is the default button; Escape closes the dialog as well.
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == LabelWeb && event->type() == QEvent::MouseButtonDblClick) {
    Desktop().OpenDocument(QUrl::fromUserInput(LabelWeb->text()));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

} // namespace ravelin
