#pragma once
// TFormGraphics: the live graphics window. Per motor it plots position, velocity and, on
// request, target velocity and acceleration as scrolling traces whose scales follow the data.
// The poll cycle feeds it through TGraphHooks whether or not it is shown; only painting
// depends on its being shown.
#include <QImage>
#include <QWidget>
#include <array>
#include "BoardAccess.h"
#include "GraphModel.h"
#include "PollHooks.h"
#include "ui_Ev710Graphics.h"

class TGraphMotorPage;
class TPaintBox;

class TFormGraphics : public QWidget, public TGraphHooks, private Ui::TFormGraphics {
  Q_OBJECT
public:
  explicit TFormGraphics(TBoardAccess &Board, QWidget *parent = nullptr);

  void SetPositionSample(int Value, int Motor) override;
  void SetVelocitySample(int Value, int Motor) override;
  void SetTargetVelocitySample(int Value, int Motor) override;
  void SetAccelerationSample(int Value, int Motor) override;
  void NextGraphSample() override;

  bool GraphVisible = false;  // between showing and closing
  const TGraphModel &Graph() const { return Model; }

  // Handlers, named after control and event. The paint routines serve all three motors;
  // the box's Tag names the motor.
  void BtnClearClick();
  void CheckVTargetClick();
  void BtnPauseClick();
  void BtnSavePictureClick();
  void BtnSaveDataClick();
  void PaintBox1Paint(TPaintBox &Box);
  void PaintBoxLeft1Paint(TPaintBox &Box);
  void PaintBoxRight1Paint(TPaintBox &Box);
  void FormShow();
  void FormClose();

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  void ConnectHandlers();
  void Clear();
  void RepaintPlots();
  void RepaintScales(int Motor);
  void RepaintAll();
  // The three motors' plots with their scales, one above the other, as shown.
  QImage Picture(qreal PixelRatio) const;
  QString AskSavePath(const QString &Filter, const QString &Suffix);
  const TGraphModel &Shown() const { return View.Shown(Model); }
  void DrawPlot(QPainter &p, QSize Size, int Motor) const;
  void DrawTrace(QPainter &p, int Motor, TGraphTrace Trace) const;
  struct TScaleLabels {
    int Minimum, Maximum;
    TGraphTrace Trace;  // whose colour they take
  };
  void DrawLabels(QPainter &p, int X, const TScaleLabels &Labels) const;
  void DrawScale(QPainter &p, QSize Size, const TScaleLabels &Main, const TScaleLabels &Extra) const;
  void DrawLeftScale(QPainter &p, QSize Size, int Motor) const;
  void DrawRightScale(QPainter &p, QSize Size, int Motor) const;

  TGraphModel Model;
  TGraphView View;
  QString PauseHint;  // the form's, while the button offers Pause
  QString LastFolder;
  std::array<TGraphMotorPage *, 3> Pages{};
  QImage PlotPicture, LeftPicture, RightPicture;  // shared by the three motors' boxes
};
