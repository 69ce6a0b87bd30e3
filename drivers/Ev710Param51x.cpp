#include "Ev710Param51x.h"
#include <QCloseEvent>
#include <algorithm>
#include "BoardFrames.h"
#include "DriverParameterMap.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include "Ev710Utils.h"
#include "LedLittle.h"
#include "DriverRequests.h"

namespace {
constexpr int ReadEveryCycle = -1, NotRead = 255;
constexpr int OverCurrentHighSideBit = 4;

// Motor index, chip number in the object names, the chip the hints name, caption. The object
// names, hints and captions each name the chips their own way; the motor index is what counts.
struct GroupLook {
  int Motor;
  const char *NameChip, *HintChip, *Caption;
};
constexpr GroupLook Looks[] = {{0, "517", "QVR517", " QVR513 (Motor 1)"},
                               {1, "515", "QVR517", " QVR515 (Motor 2) "},
                               {2, "513", "QVR513", " QVR517 (Motor 3) "}};
}  // namespace

TGroupQVR51x::TGroupQVR51x(TBoardAccess &Board, int MotorIndex, const QString &NameChip, const QString &HintChip,
                           QWidget *parent)
    : QGroupBox(parent), MotorIndex(MotorIndex), Board(Board) {
  setupUi(this);
  for (QWidget *w : findChildren<QWidget *>()) w->setObjectName(w->objectName() + NameChip);
  setObjectName(objectName() + NameChip);
  StallBar->setToolTip(QStringLiteral("This bar shows the load detection value measured by the ") + HintChip + u'.');
  GrpErrorFlags_->setToolTip(QStringLiteral("The error flags of the ") + HintChip + QStringLiteral(" are displayed here."));
  for (const StatusFlag &flag : StatusFlagsOf(TBoardKind::OlderDrivers)) {
    auto *led = findChild<TLedLittle *>(QLatin1String(flag.Led) + NameChip);
    led->SetLedColor(lcDarkCyan);
    FlagLeds.push_back({flag.Bit, led});
  }
  QPalette bar = StallBar->palette();
  bar.setColor(QPalette::Highlight, Qt::red);
  bar.setColor(QPalette::Disabled, QPalette::Highlight, Qt::darkGray);  // a stale value
  StallBar->setPalette(bar);
  Board.OnValuesStale(this, [this] { MarkValuesStale(this); });
  connect(LoadSlider, &QSlider::valueChanged, this, Guarded(this, [this] { LoadSliderChange(); }));
}

void TGroupQVR51x::LoadSliderChange() {
  TPollingPause pause(Board);
  SendThreshold();
}

void TGroupQVR51x::SendThreshold() {
  SendWaited(Board, SetParameter, DriverParam::StallThreshold, uint8_t(MotorIndex), StallThresholdCode(LoadSlider->value()));
}

// A value beyond the bar shows it full (a progress bar ignores values outside its range).
void TGroupQVR51x::ShowLoad(uint8_t, uint8_t, uint8_t b0) {
  StallBar->setValue(std::min<int>(b0, StallBar->maximum()));
  StallBar->setEnabled(true);
}

void TGroupQVR51x::ShowFlags(uint8_t, uint8_t, uint8_t b0) {
  // The group of motor index 2 (ShowFlags513) does not show the high-side over-current flag:
  // its indicator stays off.
  if (MotorIndex == 2) b0 &= ~(1 << OverCurrentHighSideBit);
  for (auto [bit, led] : FlagLeds) led->SetLedColor(IfThenLedColor(b0 >> bit & 1, lcCyan, lcDarkCyan));
}

TFormQVR51x::TFormQVR51x(TBoardAccess &Board, QWidget *parent) : QWidget(parent), Board(Board) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  for (const GroupLook &look : Looks) {
    auto *group = new TGroupQVR51x(Board, look.Motor, QLatin1String(look.NameChip), QLatin1String(look.HintChip), this);
    group->setTitle(QLatin1String(look.Caption));
    LayoutGroups->addWidget(group);
    Groups[size_t(look.Motor)] = group;
    const int row = PollRow::OlderDriver + 2 * look.Motor;
    Board.Entry(row).Handler = [group](uint8_t b2, uint8_t b1, uint8_t b0) { group->ShowLoad(b2, b1, b0); };
    Board.Entry(row + 1).Handler = [group](uint8_t b2, uint8_t b1, uint8_t b0) { group->ShowFlags(b2, b1, b0); };
  }
}

void TFormQVR51x::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) RunGuarded(this, [this] { FormShow(); });
}

// The rows are read again from now on, whether or not the board takes the thresholds. Motor 3's
// and Motor 1's thresholds are sent; Motor 2's QVR515 keeps its own.
void TFormQVR51x::FormShow() {
  SetDriverRowsFilter(ReadEveryCycle);
  TPollingPause pause(Board);
  Groups[2]->SendThreshold();
  Groups[0]->SendThreshold();
}

void TFormQVR51x::closeEvent(QCloseEvent *e) {
  SetDriverRowsFilter(NotRead);
  e->accept();
}

void TFormQVR51x::SetDriverRowsFilter(int Filter) {
  for (int row = PollRow::OlderDriver; row <= PollRow::OlderDriverLast; ++row) Board.Entry(row).PageFilter = Filter;
}
