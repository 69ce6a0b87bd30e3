#pragma once
// What the newer-driver window and the QVR550 window share: reading and setting register groups
// through the driver parameter map, the live status callbacks, the coil current from the sense
// resistor and the load graph. Form is the window's generated Ui class; both forms name their
// common controls alike, so this code uses them by their names.
#include <QImage>
#include <QWidget>
#include <vector>
#include "BoardAccess.h"
#include "DriverParameterMap.h"
#include "LoadGraph.h"

class QPainter;
class TLedLittle;

template <class Form>
class TDriverForm : public QWidget, protected Form {
public:
  // Why a page is read: the window is shown, another page is chosen, or another motor.
  enum class ReadReason { Show, PageChange, MotorChange };

  double SenseVoltage = 0;      // volts, from VSENSE once DRVCONF has been read or set
  TGraphLimits Graph;           // GraphCurrentScale, GraphTLIMin, GraphTLMin, GraphTLMax
  uint8_t LastTLValue = 0;
  uint16_t LastLDValue = 0;
  TLoadHistory History;         // LDHistory, TLHistory, HistoryCount
  QImage GraphBitmap;
  bool IsShown = false;
  bool StatusResetRequest = false;

  // Status callbacks of the poll rows: b2, b1, b0 are reply bits 23..16, 15..8, 7..0.
  void ShowTLValue(uint8_t b2, uint8_t b1, uint8_t b0);
  void ShowLDValue(uint8_t b2, uint8_t b1, uint8_t b0);
  void ShowMicrostep(uint8_t b2, uint8_t b1, uint8_t b0);
  void ShowStatusFlags(uint8_t b2, uint8_t b1, uint8_t b0);
  void StoreCurrentScale(uint8_t b2, uint8_t b1, uint8_t b0);
  void StoreTLIMin(uint8_t b2, uint8_t b1, uint8_t b0);
  void StoreTLMax(uint8_t b2, uint8_t b1, uint8_t b0);
  void StoreTLMin(uint8_t b2, uint8_t b1, uint8_t b0);
  void AddGraphSample(uint16_t ld, uint8_t tl);

protected:
  TDriverForm(TBoardAccess &Board, TBoardKind BoardKind, double RSense, QWidget *parent);
  virtual int Motor() const = 0;                  // the motor index every request addresses
  virtual int ChopperMode() const { return 0; }   // selects the CHOPCONF fields
  virtual void ReadPage(ReadReason Reason) = 0;   // the read of the shown page
  virtual void ReadChopConf() { ReadGroup(DriverGroup::ChopConf); }

  // One waited request; a missing reply throws "The board does not respond!".
  int32_t ReadParameter(uint8_t Param);
  void WriteParameter(uint8_t Param, int32_t Code);
  void ReadFields(const std::vector<DriverField> &Fields);
  void ReadGroup(DriverGroup Group);   // one paused block, then the values the window derives
  void SetGroup(DriverGroup Group);
  void ReadDrvCtrl() { ReadGroup(DriverGroup::DrvCtrl); }
  void ReadThriftLv() { ReadGroup(DriverGroup::ThriftLv); }
  void ReadLDCSConf() { ReadGroup(DriverGroup::LdcsConf); }
  void ReadDrvConf() { ReadGroup(DriverGroup::DrvConf); }
  // Makes Method of this window the callback of poll row Row.
  template <class Owner>
  void Hook(int Row, void (Owner::*Method)(uint8_t, uint8_t, uint8_t)) {
    Owner *owner = static_cast<Owner *>(this);
    Board.Entry(Row).Handler = [owner, Method](uint8_t b2, uint8_t b1, uint8_t b0) { (owner->*Method)(b2, b1, b0); };
  }
  QWidget *ShownPage() const { return this->PageControl->currentWidget(); }
  void RedrawGraph() { this->PBGraph->update(); }

  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  bool eventFilter(QObject *Watched, QEvent *Event) override;

  TBoardAccess &Board;
  const TBoardKind Kind;

private:
  void ShowField(const DriverField &f, int32_t Reply);
  int32_t CodeOf(const DriverField &f);
  void AfterGroup(DriverGroup Group);
  void SetUpControls(double RSense);
  void ConnectHandlers();
  void FormShow();
  void FormClose() { IsShown = false; }
  void PageControlChange() { ReadPage(ReadReason::PageChange); }
  void BtnDrvCtrlSetClick() { SetGroup(DriverGroup::DrvCtrl); }
  void BtnChopConfSetClick() { SetGroup(DriverGroup::ChopConf); }
  void BtnThriftLvSetClick() { SetGroup(DriverGroup::ThriftLv); }
  void BtnLDSConfSetClick() { SetGroup(DriverGroup::LdcsConf); }
  void BtnDrvConfSetClick() { SetGroup(DriverGroup::DrvConf); }
  void CheckDrvCtrlIntpolClick();
  void EditRSenseChange();
  void BtnDrvStatusResetClick();
  void ImgTrimDriveClick();
  void PBGraphPaint(QPainter &p);
  void PBScalePaint(QPainter &p);
  std::vector<std::pair<int, TLedLittle *>> FlagLeds;  // status word bit and its indicator
  int FastDecayBit3 = 0;                               // of the last read of parameter 164
};
