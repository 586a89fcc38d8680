#include "app/DialogoInformazioni.h"

#include "app/ActionTable.h"
#include "app/AppIcons.h"
#include "app/AppTexts.h"
#include "app/DialogPlacement.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel* TextLabel(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

// The program's picture, 32 by 32, in a raised bevel.
QLabel* IconPanel(const char* name, QWidget* parent) {
  auto* panel = new QLabel(parent);
  panel->setObjectName(name);
  panel->setPixmap(AppIcon("tessivane").pixmap(32, 32));
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  panel->setAlignment(Qt::AlignCenter);
  return panel;
}

// Holds one widget with a grey shadow below and to the right of it.
class TShadowPanel : public QWidget {
public:
  static constexpr int kOffset = 4;

  TShadowPanel(QWidget* content, QWidget* parent) : QWidget(parent), FContent(content) {
    content->setParent(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, kOffset, kOffset);
    layout->addWidget(content);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(FContent->geometry().translated(kOffset, kOffset), Qt::gray);
  }

private:
  QWidget* FContent;
};

} // namespace

TLinkLabel::TLinkLabel(const QString& text, std::function<void()> clicked, QWidget* parent)
    : QLabel(text, parent), FClicked(std::move(clicked)) {
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  QPalette blue = palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  setPalette(blue);
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) FClicked();
}

TDialogoInformazioni::TDialogoInformazioni(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("DialogoInformazioni");
  setWindowTitle(AppTexts::kAboutCaption);
  setProperty(kHelpContextProperty, 1050);

  auto* product = TextLabel("LabelProduct", AppTexts::kAboutProduct, this);
  QFont large = product->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  large.setBold(true);
  product->setFont(large);
  auto* title = new QHBoxLayout;
  title->addWidget(IconPanel("PanelIcon1", this));
  title->addWidget(product, 1, Qt::AlignCenter);
  title->addWidget(IconPanel("PanelIcon2", this));

  // The maker's card: tool-tip colours, a grey shadow below and right.
  auto* card = new QFrame;
  card->setObjectName("PanelCard");
  card->setFrameStyle(QFrame::Box | QFrame::Plain);
  card->setAutoFillBackground(true);
  QPalette tip = card->palette();
  tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
  tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
  card->setPalette(tip);
  FLabel5 = new TLinkLabel(
      AppTexts::kMakerMail, [this] { Label5Click(); }, card);
  FLabel5->setObjectName("Label5");
  FLabel6 = new TLinkLabel(
      AppTexts::kMakerWeb, [this] { Label6Click(); }, card);
  FLabel6->setObjectName("Label6");
  auto* cardLayout = new QGridLayout(card);
  cardLayout->addWidget(TextLabel("LabelMaker", AppTexts::kMakerName, card), 0, 0, 1, 2);
  cardLayout->addWidget(TextLabel("LabelAddress", AppTexts::kMakerAddress, card), 1, 0, 1, 2);
  cardLayout->addWidget(TextLabel("LabelTelephone", AppTexts::kMakerTelephone, card), 2, 0, 1, 2);
  cardLayout->addWidget(TextLabel("LabelFax", AppTexts::kMakerFax, card), 3, 0, 1, 2);
  cardLayout->addWidget(TextLabel("LabelMail", AppTexts::kMailLabel, card), 4, 0);
  cardLayout->addWidget(FLabel5, 4, 1);
  cardLayout->addWidget(TextLabel("LabelWeb", AppTexts::kWebLabel, card), 5, 0);
  cardLayout->addWidget(FLabel6, 5, 1);

  FOk = new QPushButton(AppTexts::kOkButton, this);
  FOk->setObjectName("ButtonOk");
  FOk->setDefault(true);
  connect(FOk, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(title);
  layout->addWidget(TextLabel("LabelPlatform", AppTexts::kAboutPlatform, this), 0,
                    Qt::AlignHCenter);
  layout->addWidget(TextLabel("LabelVersion", AppTexts::kAboutVersion, this), 0, Qt::AlignHCenter);
  layout->addSpacing(8);
  auto* shadowed = new TShadowPanel(card, this);
  shadowed->setObjectName("PanelShadow");
  layout->addWidget(shadowed);
  layout->addSpacing(8);
  layout->addWidget(FOk, 0, Qt::AlignHCenter);
  // A fixed frame: the box keeps the size its layout gives it.
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TDialogoInformazioni::Label5Click() {
  QDesktopServices::openUrl(QUrl(QString("mailto:") + AppTexts::kMakerMail));
}

void TDialogoInformazioni::Label6Click() {
  QDesktopServices::openUrl(QUrl(AppTexts::kMakerWeb));
}

void TDialogoInformazioni::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}
