#include "Ev51xBoard.h"
#include <QCloseEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <QToolTip>
#include "BoardFrames.h"
#include "DriverParameterMap.h"
#include "Ev710Guard.h"
#include "Ev710Utils.h"
#include "DriverRequests.h"

TFormBoard51x::TFormBoard51x(TBoardAccess &Board, QWidget *parent) : QWidget(parent), Board(Board) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  PBSlider->OnPaint = [this](TPaintBox &) { PBSliderPaint(); };
  connect(BtnEnableMotor1, &QPushButton::clicked, this, Guarded(this, [this] { BtnEnableMotor1Click(); }));
  connect(BtnDisableMotor1, &QPushButton::clicked, this, Guarded(this, [this] { BtnDisableMotor1Click(); }));
  connect(TrackBarPWM, &TTrackBarMouseUpDown::MouseDown, this, Guarded(this, [this] { TrackBarPWMMouseDown(); }));
  connect(TrackBarPWM, &TTrackBarMouseUpDown::KeyDown, this, Guarded(this, [this] { TrackBarPWMKeyDown(); }));
  connect(TrackBarPWM, &TTrackBarMouseUpDown::MouseUp, this, Guarded(this, [this] { TrackBarPWMMouseUp(); }));
  connect(TrackBarPWM, &TTrackBarMouseUpDown::KeyUp, this, Guarded(this, [this] { TrackBarPWMKeyUp(); }));
  connect(TrackBarPWM, &QSlider::valueChanged, this, Guarded(this, [this] { TrackBarPWMChange(); }));
}

void TFormBoard51x::BtnEnableMotor1Click() { SetDriversEnabled(true); }

void TFormBoard51x::BtnDisableMotor1Click() { SetDriversEnabled(false); }

void TFormBoard51x::SetDriversEnabled(bool Enable) {
  TPollingPause pause(Board);
  SendWaited(Board, DriverEnable, 0, 0, Enable ? 1 : 0);
}

void TFormBoard51x::PauseForDrag() {
  if (!DragPause) DragPause.emplace(Board);
}

void TFormBoard51x::EndDrag() {
  DragPause.reset();
  DragStalled = false;
}

// While a button or key is held the values stream out with the poll cycle quiet. Each waits
// for its reply, so the line is free for every value and no reply is left on the line when
// polling resumes to be taken for a poll reply; moves that come while one is on its way are
// sent as one, the newest, once it is answered. A change with nothing held (the mouse wheel)
// goes out the same way in a pause of its own. After an unanswered value nothing more is sent
// until the button or key is released, so a silent board costs one timeout and one message.
void TFormBoard51x::TrackBarPWMChange() {
  ShowPositionTip();
  PBSlider->update();
  if (PwmSending) {
    PwmChanged = true;
    return;
  }
  if (DragStalled) return;
  std::optional<TPollingPause> alone;
  if (!DragPause) alone.emplace(Board);
  PwmSending = true;
  try {
    SendPwm();
  } catch (const EEvalError &) {
    PwmSending = false;
    DragStalled = DragPause.has_value();
    throw;
  }
  PwmSending = false;
}

void TFormBoard51x::SendPwm() {
  do {
    PwmChanged = false;
    Board.SendCommand(1, SetParameter, DriverParam::PWM515, DriverParam::Pwm515Motor, TrackBarPWM->value(), true, true);
  } while (PwmChanged);
}

// The position as a tool tip just above the thumb.
void TFormBoard51x::ShowPositionTip() {
  if (!TrackBarPWM->isVisible()) return;
  QStyleOptionSlider option;
  option.initFrom(TrackBarPWM);
  option.orientation = TrackBarPWM->orientation();
  option.minimum = TrackBarPWM->minimum();
  option.maximum = TrackBarPWM->maximum();
  option.sliderPosition = TrackBarPWM->sliderPosition();
  option.sliderValue = TrackBarPWM->value();
  const QRect thumb = TrackBarPWM->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, TrackBarPWM);
  const QPoint above = TrackBarPWM->mapToGlobal(QPoint(thumb.center().x(), thumb.top() - 2 * fontMetrics().height()));
  QToolTip::showText(above, QString::number(TrackBarPWM->value()), TrackBarPWM);
}

// A black wedge growing from left to right above the track bar: the picture of a PWM ratio.
void TFormBoard51x::PBSliderPaint() {
  QImage &picture = PictureFor(SliderPicture, *PBSlider);
  const int W = PBSlider->width(), H = PBSlider->height();
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(0, 0, W, H, palette().color(QPalette::Window));
  p.setPen(Qt::black);
  p.setBrush(Qt::black);
  p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(W - 1, 0), QPointF(W - 1, H - 1)}));
  p.end();
  PBSlider->Show(picture);
}

void TFormBoard51x::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  IsShown = true;
}

void TFormBoard51x::closeEvent(QCloseEvent *e) {
  IsShown = false;
  EndDrag();
  e->accept();
}
