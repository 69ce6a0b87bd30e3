#pragma once
// A label that draws its caption rotated in steps of 45 degrees counter-clockwise.
#include <QWidget>

enum TUgao { ag0, ag45, ag90, ag135, ag180, ag225, ag270, ag315 };

class TRotoLabel : public QWidget {
  Q_OBJECT
public:
  explicit TRotoLabel(QWidget *parent = nullptr);
  QString Caption() const { return FCaption; }
  void SetCaption(const QString &c);
  TUgao Angle() const { return FAngle; }
  void SetAngle(TUgao a);
  bool Text3D() const { return FText3D; }
  void SetText3D(bool on);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool on);
protected:
  void paintEvent(QPaintEvent *) override;
private:
  QString FCaption;
  TUgao FAngle = ag45;
  bool FText3D = false, FTransparent = false;
};
