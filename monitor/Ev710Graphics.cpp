#include "Ev710Graphics.h"
#include <QCloseEvent>
#include <QFileDialog>
#include <QImageWriter>
#include <QLayout>
#include <QPainter>
#include <QSaveFile>
#include "Ev710Guard.h"
#include "Ev710Utils.h"
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

const QString ResumeText = QStringLiteral("&Resume");
const QString ResumeHint = QStringLiteral(
    "Click this button to let the graphic display scroll on, with the samples collected meanwhile.");

// Writes through a temporary file that replaces Path only once complete, so a failed save
// leaves an earlier file whole.
void SaveFile(const QString &Path, const std::function<bool(QSaveFile &File)> &Write) {
  QSaveFile file(Path);
  if (!file.open(QIODevice::WriteOnly))
    throw EEvalError(QStringLiteral("Cannot create %1:\n%2").arg(Path, file.errorString()));
  if (!Write(file) || !file.commit())
    throw EEvalError(QStringLiteral("Cannot save %1:\n%2").arg(Path, file.errorString()));
}
}  // namespace

TFormGraphics::TFormGraphics(TBoardAccess &Board, QWidget *parent) : QWidget(parent) {
  SetUpToolWindow(this, [this](QWidget *form) { setupUi(form); });
  setObjectName(QStringLiteral("FormGraphics"));
  for (int m = 0; m < 3; ++m) {
    Pages[m] = new TGraphMotorPage(m, PageControl);
    PageControl->addTab(Pages[m], QStringLiteral("Motor %1").arg(m + 1));
  }
  LblXTiming->setText(Model.IntervalText());  // the model starts cleared, with the creation ranges
  PauseHint = BtnPause->toolTip();
  ConnectHandlers();
  Board.Views().GraphHooks = this;
}

void TFormGraphics::ConnectHandlers() {
  connect(BtnClear, &QPushButton::clicked, this, Guarded(this, [this] { BtnClearClick(); }));
  connect(CheckVTarget, &QCheckBox::clicked, this, Guarded(this, [this] { CheckVTargetClick(); }));
  connect(BtnPause, &QPushButton::clicked, this, Guarded(this, [this] { BtnPauseClick(); }));
  connect(BtnSavePicture, &QPushButton::clicked, this, Guarded(this, [this] { BtnSavePictureClick(); }));
  connect(BtnSaveData, &QPushButton::clicked, this, Guarded(this, [this] { BtnSaveDataClick(); }));
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
  View.Collect(Model);
  if (GraphVisible && !View.Paused()) {
    for (int m = 0; m < 3; ++m)
      if (step.Rescaled[m]) RepaintScales(m);
    RepaintPlots();
  }
  LblXTiming->setText(Model.IntervalText());
}

// --- Handlers -------------------------------------------------------------------------------------

// A paused display shows the cleared graph and holds what comes in from then on.
void TFormGraphics::Clear() {
  Model.Clear();
  if (View.Paused()) View.Pause(Model);
  LblXTiming->setText(Model.IntervalText());
}

void TFormGraphics::BtnClearClick() {
  Clear();
  RepaintAll();
}

// The extra traces and their scale labels come and go together.
void TFormGraphics::CheckVTargetClick() { RepaintAll(); }

// Resuming shows the graph as collected meanwhile rather than from now on: the traces stay one
// unbroken record, and a jump in them is a jump of the motor, never of the display.
void TFormGraphics::BtnPauseClick() {
  if (View.Paused())
    View.Resume();
  else
    View.Pause(Model);
  BtnPause->setText(View.Paused() ? ResumeText : QStringLiteral("&Pause"));
  BtnPause->setToolTip(View.Paused() ? ResumeHint : PauseHint);
  RepaintAll();
}

QString TFormGraphics::AskSavePath(const QString &Filter, const QString &Suffix) {
  QFileDialog dialog(this, QString(), LastFolder, Filter + QStringLiteral(";;All files (*)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(Suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  const QString path = dialog.selectedFiles().constFirst();
  LastFolder = QFileInfo(path).absolutePath();
  return path;
}

void TFormGraphics::BtnSavePictureClick() {
  const QImage picture = Picture(devicePixelRatioF());  // as shown when the button was clicked
  const QString path = AskSavePath(QStringLiteral("PNG pictures (*.png)"), QStringLiteral("png"));
  if (path.isEmpty()) return;
  SaveFile(path, [&](QSaveFile &file) { return QImageWriter(&file, "png").write(picture); });
}

void TFormGraphics::BtnSaveDataClick() {
  const QByteArray csv = GraphCsv(View.HeldColumns(Model));
  const QString path = AskSavePath(QStringLiteral("Comma separated values (*.csv)"), QStringLiteral("csv"));
  if (path.isEmpty()) return;
  SaveFile(path, [&](QSaveFile &file) { return file.write(csv) == csv.size(); });
}

void TFormGraphics::RepaintPlots() {
  for (TGraphMotorPage *page : Pages) page->Plot()->update();
}

void TFormGraphics::RepaintScales(int Motor) {
  Pages[Motor]->LeftScale()->update();
  Pages[Motor]->RightScale()->update();
}

void TFormGraphics::RepaintAll() {
  RepaintPlots();
  for (int m = 0; m < 3; ++m) RepaintScales(m);
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
  const TGraphModel &graph = Shown();
  const TGraphModel::TTraceSamples &samples = graph.Samples(Motor, Trace);
  const int offset = StyleOf(Trace).RowOffset;
  const int count = graph.SampleCount();
  std::array<QPoint, TGraphModel::Columns + 1> points;
  points[0] = QPoint(0, samples[0].Row + offset);
  for (int i = 0; i < count; ++i) points[i + 1] = QPoint(i, samples[i].Row + offset);
  // A cosmetic pen: one device pixel wide at any pixel ratio, drawn by the fast line path.
  p.setPen(QPen(StyleOf(Trace).Colour, 0));
  p.drawPolyline(points.data(), count + 1);
}

// Clipped to its box: the traces run one column past the plot's width.
void TFormGraphics::DrawPlot(QPainter &p, QSize Size, int Motor) const {
  p.setClipRect(QRect(QPoint(), Size));
  p.fillRect(QRect(QPoint(), Size), Qt::black);
  if (CheckVTarget->isChecked()) {
    DrawTrace(p, Motor, TGraphTrace::Acceleration);
    DrawTrace(p, Motor, TGraphTrace::TargetVelocity);
  }
  DrawTrace(p, Motor, TGraphTrace::Position);
  DrawTrace(p, Motor, TGraphTrace::Velocity);
}

void TFormGraphics::PaintBox1Paint(TPaintBox &Box) {
  QImage &picture = PictureFor(PlotPicture, Box);
  {
    QPainter p(&picture);
    DrawPlot(p, Box.size(), Box.Tag);
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
void TFormGraphics::DrawScale(QPainter &p, QSize Size, const TScaleLabels &Main, const TScaleLabels &Extra) const {
  p.fillRect(QRect(QPoint(), Size), Qt::black);
  DrawLabels(p, 1, Main);
  if (CheckVTarget->isChecked())
    DrawLabels(p, Size.width() - p.fontMetrics().horizontalAdvance(QStringLiteral("8888")) - 1, Extra);
}

void TFormGraphics::DrawLeftScale(QPainter &p, QSize Size, int Motor) const {
  const TMotorScale &s = Shown().Scale(Motor);
  DrawScale(p, Size, {s.PositionMin, s.PositionMax, TGraphTrace::Position},
            {0, s.TargetVelocityRange, TGraphTrace::TargetVelocity});
}

void TFormGraphics::DrawRightScale(QPainter &p, QSize Size, int Motor) const {
  const TMotorScale &s = Shown().Scale(Motor);
  DrawScale(p, Size, {0, s.VelocityRange, TGraphTrace::Velocity}, {0, s.AccelerationRange, TGraphTrace::Acceleration});
}

// A scale box's picture, drawn by `draw` in the box's font.
template <class Draw>
static void PaintScaleBox(TPaintBox &Box, QImage &Picture, Draw draw) {
  QImage &picture = PictureFor(Picture, Box);
  {
    QPainter p(&picture);
    p.setFont(Box.font());
    draw(p, Box.size(), Box.Tag);
  }
  Box.Show(picture);
}

void TFormGraphics::PaintBoxLeft1Paint(TPaintBox &Box) {
  PaintScaleBox(Box, LeftPicture, [this](QPainter &p, QSize size, int motor) { DrawLeftScale(p, size, motor); });
}

void TFormGraphics::PaintBoxRight1Paint(TPaintBox &Box) {
  PaintScaleBox(Box, RightPicture, [this](QPainter &p, QSize size, int motor) { DrawRightScale(p, size, motor); });
}

// Each motor's row is its left scale, plot and right scale at the sizes the form gives their
// boxes (fixed, so also right for pages never shown).
QImage TFormGraphics::Picture(qreal PixelRatio) const {
  const TGraphMotorPage &page = *Pages[0];
  const QSize left = page.LeftScale()->minimumSize(), plot = page.Plot()->minimumSize();
  const QSize right = page.RightScale()->minimumSize();
  const QSize row(left.width() + plot.width() + right.width(), plot.height());
  QImage picture(QSize(row.width(), 3 * row.height()) * PixelRatio, QImage::Format_RGB32);
  picture.setDevicePixelRatio(PixelRatio);
  QPainter p(&picture);
  p.setFont(page.LeftScale()->font());
  const auto drawAt = [&p](int x, int y, const std::function<void()> &draw) {
    p.save();
    p.translate(x, y);
    draw();
    p.restore();
  };
  for (int m = 0; m < 3; ++m) {
    const int y = m * row.height();
    drawAt(0, y, [&] { DrawLeftScale(p, left, m); });
    drawAt(left.width(), y, [&] {
      DrawPlot(p, plot, m);
      p.setPen(Qt::gray);  // which motor, in the plot's top right corner
      p.drawText(QRect(QPoint(), plot).adjusted(0, 2, -4, 0), Qt::AlignTop | Qt::AlignRight,
                 QStringLiteral("Motor %1").arg(m + 1));
    });
    drawAt(left.width() + plot.width(), y, [&] { DrawRightScale(p, right, m); });
    if (m < 2) {  // a line between motors, on the bottom row, below every trace
      p.setPen(QPen(Qt::gray, 0));
      p.drawLine(0, y + row.height() - 1, row.width(), y + row.height() - 1);
    }
  }
  return picture;
}
