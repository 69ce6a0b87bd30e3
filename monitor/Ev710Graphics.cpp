#include "Ev710Graphics.h"
#include <QCloseEvent>
#include <QLayout>
#include <QPainter>
#include "Ev710Guard.h"
#include "GraphMotorPage.h"
#include "PaintBox.h"
#include "Ticks.h"
#include "ToolWindow.h"

namespace {
struct TTraceStyle {
  QColor Colour;
  int RowOffset;  // keeps flat lines that coincide apart
};
// By TGraphTrace: position, velocity, acceleration, target velocity.
const TTraceStyle TraceStyles[] = {
    {QColor(0, 128, 0), -2}, {QColor(255, 0, 0), 0}, {QColor(0, 0, 255), 1}, {QColor(255, 255, 0), -3}};

const TTraceStyle &StyleOf(TGraphTrace Trace) { return TraceStyles[int(Trace)]; }
constexpr int LabelSpacing = TGraphModel::PlotHeight / 20;  // 20 divisions per scale
}  // namespace

TFormGraphics::TFormGraphics(TBoardAccess &Board, QWidget *parent) : QWidget(parent) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  setObjectName(QStringLiteral("FormGraphics"));
  for (int m = 0; m < 3; ++m) {
    Pages[m] = new TGraphMotorPage(m, PageControl);
    PageControl->addTab(Pages[m], QStringLiteral("Motor %1").arg(m + 1));
  }
  LblXTiming->setText(Model.IntervalText());  // the model starts cleared, with the creation ranges
  ConnectHandlers();
  Board.SetGraphHooks(this);
}

void TFormGraphics::ConnectHandlers() {
  connect(BtnClear, &QPushButton::clicked, this, Guarded(this, [this] { BtnClearClick(); }));
  connect(CheckVTarget, &QCheckBox::clicked, this, Guarded(this, [this] { CheckVTargetClick(); }));
  for (TGraphMotorPage *page : Pages) {
    page->Plot()->OnPaint = [this](TPaintBox &box) { PaintBox1Paint(box); };
    page->LeftScale()->OnPaint = [this](TPaintBox &box) { PaintBoxLeft1Paint(box); };
    page->RightScale()->OnPaint = [this](TPaintBox &box) { PaintBoxRight1Paint(box); };
  }
}

// --- Samples from the poll cycle ----------------------------------------------------------------

void TFormGraphics::SetPositionSample(int Value, int Motor) { Model.SetSample(TGraphTrace::Position, Value, Motor); }
void TFormGraphics::SetVelocitySample(int Value, int Motor) { Model.SetSample(TGraphTrace::Velocity, Value, Motor); }
void TFormGraphics::SetTargetVelocitySample(int Value, int Motor) {
  Model.SetSample(TGraphTrace::TargetVelocity, Value, Motor);
}
void TFormGraphics::SetAccelerationSample(int Value, int Motor) {
  Model.SetSample(TGraphTrace::Acceleration, Value, Motor);
}

void TFormGraphics::NextGraphSample() {
  const TGraphModel::TStep step = Model.NextSample(CheckStop->isChecked(), TickCount());
  if (step.Stopped) return;
  if (GraphVisible) {
    for (int m = 0; m < 3; ++m)
      if (step.Rescaled[m]) RepaintScales(m);
    RepaintPlots();
  }
  LblXTiming->setText(Model.IntervalText());
}

// --- Handlers -------------------------------------------------------------------------------------

void TFormGraphics::Clear() {
  Model.Clear();
  LblXTiming->setText(Model.IntervalText());
}

void TFormGraphics::BtnClearClick() {
  Clear();
  RepaintPlots();
  for (int m = 0; m < 3; ++m) RepaintScales(m);
}

// The extra traces and their scale labels come and go together.
void TFormGraphics::CheckVTargetClick() {
  RepaintPlots();
  for (int m = 0; m < 3; ++m) RepaintScales(m);
}

void TFormGraphics::RepaintPlots() {
  for (TGraphMotorPage *page : Pages) page->Plot()->update();
}

void TFormGraphics::RepaintScales(int Motor) {
  Pages[Motor]->LeftScale()->update();
  Pages[Motor]->RightScale()->update();
}

void TFormGraphics::FormShow() { GraphVisible = true; }
void TFormGraphics::FormClose() { GraphVisible = false; }

void TFormGraphics::showEvent(QShowEvent *e) {
  QWidget::showEvent(e);
  RunGuarded(this, [this] { FormShow(); });
}

void TFormGraphics::closeEvent(QCloseEvent *e) {
  RunGuarded(this, [this] { FormClose(); });
  e->accept();
}

// --- Painting -------------------------------------------------------------------------------------

// A polyline from (0, row of column 0) through (i, row of column i) for every closed column;
// the column being filled is not drawn.
void TFormGraphics::DrawTrace(QPainter &p, int Motor, TGraphTrace Trace) const {
  const TGraphModel::TTraceSamples &samples = Model.Samples(Motor, Trace);
  const int offset = StyleOf(Trace).RowOffset;
  const int count = Model.SampleCount();
  std::array<QPoint, TGraphModel::Columns + 1> points;
  points[0] = QPoint(0, samples[0].Row + offset);
  for (int i = 0; i < count; ++i) points[i + 1] = QPoint(i, samples[i].Row + offset);
  // A cosmetic pen: one device pixel wide at any pixel ratio, drawn by the fast line path.
  p.setPen(QPen(StyleOf(Trace).Colour, 0));
  p.drawPolyline(points.data(), count + 1);
}

void TFormGraphics::PaintBox1Paint(TPaintBox &Box) {
  QImage &picture = PictureFor(PlotPicture, Box);
  picture.fill(Qt::black);
  {
    QPainter p(&picture);
    if (CheckVTarget->isChecked()) {
      DrawTrace(p, Box.Tag, TGraphTrace::Acceleration);
      DrawTrace(p, Box.Tag, TGraphTrace::TargetVelocity);
    }
    DrawTrace(p, Box.Tag, TGraphTrace::Position);
    DrawTrace(p, Box.Tag, TGraphTrace::Velocity);
  }
  Box.Show(picture);
}

// Labels from the minimum upwards, one every twentieth of the range, the lowest one's top a text
// height above the plot's bottom row.
void TFormGraphics::DrawLabels(QPainter &p, int X, const TScaleLabels &Labels) const {
  const QFontMetrics metrics = p.fontMetrics();
  p.setPen(StyleOf(Labels.Trace).Colour);
  int y = TGraphModel::PlotBottom - metrics.height() + metrics.ascent();
  for (int value : ScaleLabelValues(Labels.Minimum, Labels.Maximum)) {
    p.drawText(X, y, QString::number(value));
    y -= LabelSpacing;
  }
}

// The main labels at the left edge; with CheckVTarget, the extra trace's labels at the right.
void TFormGraphics::PaintScale(TPaintBox &Box, QImage &Picture, const TScaleLabels &Main, const TScaleLabels &Extra) {
  QImage &picture = PictureFor(Picture, Box);
  picture.fill(Qt::black);
  {
    QPainter p(&picture);
    p.setFont(Box.font());
    DrawLabels(p, 1, Main);
    if (CheckVTarget->isChecked())
      DrawLabels(p, Box.width() - p.fontMetrics().horizontalAdvance(QStringLiteral("8888")) - 1, Extra);
  }
  Box.Show(picture);
}

void TFormGraphics::PaintBoxLeft1Paint(TPaintBox &Box) {
  const TMotorScale &s = Model.Scale(Box.Tag);
  PaintScale(Box, LeftPicture, {s.PositionMin, s.PositionMax, TGraphTrace::Position},
             {0, s.TargetVelocityRange, TGraphTrace::TargetVelocity});
}

void TFormGraphics::PaintBoxRight1Paint(TPaintBox &Box) {
  const TMotorScale &s = Model.Scale(Box.Tag);
  PaintScale(Box, RightPicture, {0, s.VelocityRange, TGraphTrace::Velocity},
             {0, s.AccelerationRange, TGraphTrace::Acceleration});
}
