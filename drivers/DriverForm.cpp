#include "DriverForm.h"
#include <algorithm>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QPainter>
#include "BoardFrames.h"
#include "Ev710Guard.h"
#include "LiveValues.h"
#include "Ev710Utils.h"
#include "LedLittle.h"
#include "SpinEdit.h"
#include "DriverRequests.h"
#include "TrimDriveInfo.h"
#include "ui_Ev710_QVR53x.h"
#include "ui_Ev710_QVR550.h"

namespace {
const QColor LDColor(0, 77, 185);
const QColor GridColor(175, 178, 181);
const QColor CurrentBarColor(255, 160, 122);
const QColor HysteresisColor(135, 206, 235);

// An off-screen picture of the box's size, sharp at the screen's pixel density.
void PrepareOffScreen(const QWidget *box, QImage &picture) {
  const qreal dpr = box->devicePixelRatioF();
  const QSize size = box->size() * dpr;
  if (picture.size() != size || picture.devicePixelRatio() != dpr) {
    picture = QImage(size, QImage::Format_RGB32);
    picture.setDevicePixelRatio(dpr);
  }
}
}  // namespace

template <class Form>
TDriverForm<Form>::TDriverForm(TBoardAccess &Board, TBoardKind BoardKind, double RSense, QWidget *parent)
    : QWidget(parent), Board(Board), Kind(BoardKind) {
  SetUpToolWindow(this, [this](QWidget *form) { this->setupUi(form); });
  SetUpControls(RSense);
  ConnectHandlers();
  EditRSenseChange();  // what the resistance's change event does once it is set
  Board.OnValuesStale(this, [this] { MarkValuesStale(this->TabDrvStatus); });
}

template <class Form>
void TDriverForm<Form>::SetUpControls(double RSense) {
  for (const DriverField &f : AllFields(Kind))
    if (auto *spin = findChild<TSpinEdit *>(QLatin1String(f.Control)); spin && f.Max > f.Min) {
      spin->SetMinValue(f.Min);
      spin->SetMaxValue(f.Max);
      spin->SetValue(std::clamp(0, f.Min, f.Max));
    }
  for (const StatusFlag &flag : StatusFlagsOf(Kind))
    if (flag.Led) FlagLeds.push_back({flag.Bit, findChild<TLedLittle *>(QLatin1String(flag.Led))});
  this->EditRSense->SetIncrement(0.01);
  this->EditRSense->SetMinValue(0);
  this->EditRSense->SetMaxValue(1000.0);
  this->EditRSense->SetMaxLength(6);
  this->EditRSense->SetValue(RSense);
  this->PageControl->setCurrentWidget(this->TabDrvCtrl1);
  this->ImgTrimDrive->setPixmap(TrimDrivePicture(devicePixelRatioF()));
  this->LblTLLine->SetCaption(QStringLiteral("thriftLevel"));
  this->LblLDLine->SetCaption(QStringLiteral("loadProbe"));
  for (TRotoLabel *l : {this->LblTLLine, this->LblLDLine}) {
    l->SetAngle(ag90);
    l->SetTransparent(true);
  }
  QPalette tl = this->LblTLLine->palette(), ld = this->LblLDLine->palette();
  tl.setColor(QPalette::WindowText, Qt::red);
  ld.setColor(QPalette::WindowText, LDColor);
  this->LblTLLine->setPalette(tl);
  this->LblLDLine->setPalette(ld);
  this->PBGraph->OnPaint = [this](TPaintBox &box) {
    QPainter p(&box);
    PBGraphPaint(p);
  };
  this->PBScale->OnPaint = [this](TPaintBox &box) {
    QPainter p(&box);
    PBScalePaint(p);
  };
}

template <class Form>
void TDriverForm<Form>::ConnectHandlers() {
  connect(this->PageControl, &QTabWidget::currentChanged, this, Guarded(this, [this] { PageControlChange(); }));
  connect(this->CheckDrvCtrlIntpol, &QCheckBox::toggled, this, Guarded(this, [this] { CheckDrvCtrlIntpolClick(); }));
  connect(this->EditRSense, &TFloatSpinEdit::Change, this, Guarded(this, [this] { EditRSenseChange(); }));
  this->ImgTrimDrive->installEventFilter(this);  // its click: eventFilter
  connect(this->BtnDrvStatusReset, &QPushButton::clicked, this, Guarded(this, [this] { BtnDrvStatusResetClick(); }));
  connect(this->BtnDrvCtrlSet, &QPushButton::clicked, this, Guarded(this, [this] { BtnDrvCtrlSetClick(); }));
  connect(this->BtnChopConfSet, &QPushButton::clicked, this, Guarded(this, [this] { BtnChopConfSetClick(); }));
  connect(this->BtnThriftLvSet, &QPushButton::clicked, this, Guarded(this, [this] { BtnThriftLvSetClick(); }));
  connect(this->BtnLDSConfSet, &QPushButton::clicked, this, Guarded(this, [this] { BtnLDSConfSetClick(); }));
  connect(this->BtnDrvConfSet, &QPushButton::clicked, this, Guarded(this, [this] { BtnDrvConfSetClick(); }));
}

// --- Requests ------------------------------------------------------------------------------

template <class Form>
int32_t TDriverForm<Form>::ReadParameter(uint8_t Param) {
  SendWaited(Board, BoardCommandNumber::GetParameter, Param, uint8_t(Motor()), 0);
  return BoardReply{Board.ReplyFrame()}.Value();
}

template <class Form>
void TDriverForm<Form>::WriteParameter(uint8_t Param, int32_t Code) {
  SendWaited(Board, BoardCommandNumber::SetParameter, Param, uint8_t(Motor()), Code);
}

template <class Form>
void TDriverForm<Form>::ReadFields(const std::vector<DriverField> &Fields) {
  for (const DriverField &f : Fields) ShowField(f, ReadParameter(f.Param));
}

template <class Form>
void TDriverForm<Form>::ShowField(const DriverField &f, int32_t Reply) {
  QWidget *w = findChild<QWidget *>(QLatin1String(f.Control));
  if (f.Code == Coding::FastDecayHigh) {  // FDMODE now, bit 3 of the fast decay item with 166
    static_cast<QCheckBox *>(w)->setChecked(DecodeFastDecay(Reply, 0).FDMode);
    FastDecayBit3 = Reply & 1;
    return;
  }
  const int value = f.Code == Coding::FastDecayLow ? DecodeFastDecay(FastDecayBit3, Reply).Index
                                                   : DecodeField(f, Reply, Kind);
  if (auto *combo = qobject_cast<QComboBox *>(w)) combo->setCurrentIndex(value < combo->count() ? value : -1);
  else if (auto *box = qobject_cast<QCheckBox *>(w)) box->setChecked(value != 0);
  else if (auto *spin = qobject_cast<TSpinEdit *>(w)) spin->SetValue(value);
}

template <class Form>
int32_t TDriverForm<Form>::CodeOf(const DriverField &f) {
  if (f.Code == Coding::FastDecayHigh || f.Code == Coding::FastDecayLow) {
    const FastDecay fd{findChild<QCheckBox *>(QStringLiteral("CheckChopConfFDMode"))->isChecked(),
                       findChild<QComboBox *>(QStringLiteral("CbChopConfFastDecayTime"))->currentIndex()};
    return f.Code == Coding::FastDecayHigh ? FastDecayHighCode(fd) : FastDecayLowCode(fd);
  }
  QWidget *w = findChild<QWidget *>(QLatin1String(f.Control));
  if (auto *combo = qobject_cast<QComboBox *>(w)) {
    // A list left empty by a reply outside its items has nothing to send.
    if (combo->currentIndex() < 0) throw EEvalError(DriverParameterName(f.Param, Kind) + QStringLiteral(": choose an item."));
    return EncodeField(f, combo->currentIndex());
  }
  if (auto *box = qobject_cast<QCheckBox *>(w)) return EncodeField(f, box->isChecked());
  return EncodeField(f, static_cast<TSpinEdit *>(w)->CheckedValue());
}

template <class Form>
void TDriverForm<Form>::ReadGroup(DriverGroup Group) {
  TPollingPause pause(Board);
  ReadFields(GroupFields(Kind, Group, ChopperMode()));
  AfterGroup(Group);
}

// Every value is checked before the first request goes out.
template <class Form>
void TDriverForm<Form>::SetGroup(DriverGroup Group) {
  const std::vector<DriverField> fields = GroupFields(Kind, Group, ChopperMode());
  std::vector<int32_t> codes;
  for (const DriverField &f : fields) codes.push_back(CodeOf(f));
  TPollingPause pause(Board);
  for (size_t i = 0; i < fields.size(); ++i) WriteParameter(fields[i].Param, codes[i]);
  AfterGroup(Group);
}

// What the graph and the current calculation take from a group once it is read or set.
template <class Form>
void TDriverForm<Form>::AfterGroup(DriverGroup Group) {
  switch (Group) {
    case DriverGroup::ThriftLv:
      Graph.TLIMin = this->CbThriftLvTLIMin->currentIndex();
      Graph.TLMax = this->EditThriftLvTLMax->Value();
      Graph.TLMin = this->EditThriftLvTLMin->Value();
      RedrawGraph();
      break;
    case DriverGroup::LdcsConf:
      Graph.CurrentScale = this->EditLDSConfCurrentScale->Value();
      EditRSenseChange();
      RedrawGraph();
      break;
    case DriverGroup::DrvConf:
      SenseVoltage = SenseVoltageOf(this->CbDrvConfVSense->currentIndex());
      EditRSenseChange();
      break;
    default: break;
  }
}

// --- Window and control events -----------------------------------------------------------------

template <class Form>
void TDriverForm<Form>::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) RunGuarded(this, [this] { FormShow(); });
}

template <class Form>
void TDriverForm<Form>::FormShow() {
  IsShown = true;  // before the reads, so a board that does not answer leaves it right
  ReadPage(ReadReason::Show);
}

template <class Form>
void TDriverForm<Form>::closeEvent(QCloseEvent *e) {
  FormClose();
  e->accept();
}

template <class Form>
bool TDriverForm<Form>::eventFilter(QObject *Watched, QEvent *Event) {
  if (Watched == this->ImgTrimDrive && Event->type() == QEvent::MouseButtonRelease)
    RunGuarded(this, [this] { ImgTrimDriveClick(); });
  return QWidget::eventFilter(Watched, Event);
}

template <class Form>
void TDriverForm<Form>::CheckDrvCtrlIntpolClick() {
  const bool interpolated = this->CheckDrvCtrlIntpol->isChecked();
  if (interpolated) this->CbDrvCtrlMRes->setCurrentIndex(4);  // "16"
  this->CbDrvCtrlMRes->setEnabled(!interpolated);
  this->LblDrvCtrlMRes->setEnabled(!interpolated);
}

// A resistance that is no positive number leaves nothing to compute: both fields go empty.
template <class Form>
void TDriverForm<Form>::EditRSenseChange() {
  const auto current = CoilCurrentOf(SenseVoltage, this->EditRSense->Value(), Graph.CurrentScale);
  this->StaticCurrentRMS->setText(current ? CurrentText(current->Rms) : QString());
  this->StaticCurrentPeak->setText(current ? CurrentText(current->Peak) : QString());
}

// Starts the watch afresh: indicators and values as at start, the load history empty; the next
// poll replies fill them again.
template <class Form>
void TDriverForm<Form>::BtnDrvStatusResetClick() {
  StatusResetRequest = true;
  for (TLedLittle *led : this->TabDrvStatus->template findChildren<TLedLittle *>()) led->SetLedColor(lcBlack);
  for (QLabel *value : {this->StaticDrvStatusMStep, this->StaticDrvStatusLD, this->StaticDrvStatusTL})
    value->setText(QStringLiteral("0"));
  History.Clear();
  RedrawGraph();
}

template <class Form>
void TDriverForm<Form>::ImgTrimDriveClick() { ShowTrimDriveInfo(this); }

// --- Status callbacks ----------------------------------------------------------------------------

template <class Form>
void TDriverForm<Form>::ShowTLValue(uint8_t, uint8_t, uint8_t b0) {
  ShowLive(this->StaticDrvStatusTL, QString::number(b0));
  LastTLValue = b0;
}

template <class Form>
void TDriverForm<Form>::ShowLDValue(uint8_t, uint8_t b1, uint8_t b0) {
  LastLDValue = uint16_t(LoadValue(b1, b0));
  ShowLive(this->StaticDrvStatusLD, QString::number(LastLDValue));
  AddGraphSample(LastLDValue, LastTLValue);
}

template <class Form>
void TDriverForm<Form>::ShowMicrostep(uint8_t, uint8_t b1, uint8_t b0) {
  const Microstep m = DecodeMicrostep(b1, b0);
  ShowLive(this->StaticDrvStatusMStep, QString::number(m.Position));
  this->LedDrvStatusPhA->SetLedColor(IfThenLedColor(m.PhaseA, lcRed, lcGreen));
  this->LedDrvStatusPhB->SetLedColor(IfThenLedColor(m.PhaseB, lcRed, lcGreen));
}

template <class Form>
void TDriverForm<Form>::ShowStatusFlags(uint8_t, uint8_t, uint8_t b0) {
  for (auto [bit, led] : FlagLeds) led->SetLedColor(IfThenLedColor(b0 >> bit & 1, lcCyan, lcDarkCyan));
}

template <class Form>
void TDriverForm<Form>::StoreCurrentScale(uint8_t, uint8_t, uint8_t b0) { Graph.CurrentScale = b0; }

template <class Form>
void TDriverForm<Form>::StoreTLIMin(uint8_t, uint8_t, uint8_t b0) { Graph.TLIMin = b0; }

template <class Form>
void TDriverForm<Form>::StoreTLMax(uint8_t, uint8_t, uint8_t b0) { Graph.TLMax = b0; }

template <class Form>
void TDriverForm<Form>::StoreTLMin(uint8_t, uint8_t, uint8_t b0) { Graph.TLMin = b0; }

template <class Form>
void TDriverForm<Form>::AddGraphSample(uint16_t ld, uint8_t tl) {
  History.Add(ld, tl);
  RedrawGraph();
}

// --- The graph ------------------------------------------------------------------------------------

template <class Form>
void TDriverForm<Form>::PBGraphPaint(QPainter &target) {
  using namespace LoadGraph;
  PrepareOffScreen(this->PBGraph, GraphBitmap);
  const int W = this->PBGraph->width(), H = this->PBGraph->height();
  QPainter p(&GraphBitmap);
  p.fillRect(0, 0, W, H, Qt::white);
  const TSpan bar = CurrentBar(Graph), band = HysteresisBand(Graph, H);
  p.fillRect(QRect(QPoint(W - 15, bar.Top), QPoint(W - 9, bar.Bottom - 1)), CurrentBarColor);
  p.fillRect(QRect(QPoint(W - 8, band.Top), QPoint(W - 2, band.Bottom - 1)), HysteresisColor);
  p.setPen(GridColor);
  for (int x = 0; x <= Grid * (W / Grid); x += Grid) p.drawLine(x, 0, x, H);
  for (int y = 0; y <= Grid * (H / Grid); y += Grid) p.drawLine(0, y, W, y);
  QPolygon ld, tl;
  for (int i = 0; i < History.Count(); ++i) {
    ld << QPoint(i, LDY(History.LD(i), H));
    tl << QPoint(i, i == 0 ? TLStartY(History.TL(0), H) : TLY(History.TL(i)));
  }
  p.setPen(LDColor);
  p.drawPolyline(ld);
  p.setPen(Qt::red);
  p.drawPolyline(tl);
  p.end();
  target.drawImage(0, 0, GraphBitmap);
}

// Scale labels from the bottom up, every 20 pixels: red for the TL trace, blue for LD.
template <class Form>
void TDriverForm<Form>::PBScalePaint(QPainter &target) {
  QImage picture;
  PrepareOffScreen(this->PBScale, picture);
  QPainter p(&picture);
  p.fillRect(this->PBScale->rect(), Qt::white);
  p.setFont(font());
  const int h = p.fontMetrics().height();
  for (int row = this->PBScale->height() - h, a = 0, b = 0; row > 0; row -= 20, a += 3, b += 100) {
    p.setPen(Qt::red);
    p.drawText(QRect(0, row, 20, h), Qt::AlignLeft | Qt::AlignTop, QString::number(a));
    p.setPen(LDColor);
    p.drawText(QRect(20, row, this->PBScale->width() - 20, h), Qt::AlignLeft | Qt::AlignTop, QString::number(b));
  }
  p.end();
  target.drawImage(0, 0, picture);
}

template class TDriverForm<Ui::TFormQVR533>;
template class TDriverForm<Ui::TFormQVR550>;
