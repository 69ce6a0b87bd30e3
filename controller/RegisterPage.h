#pragma once
// What the register pages of the editor share: a radio group that selects the register, value
// controls whose dynamic property "Tag" names the radio item they belong to, the window's one
// composed datagram and the four statics of the page that show it.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include "Ev710Registers.h"

class QAbstractButton;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class TBoardAccess;

using TComposedDatagram = std::array<uint8_t, 4>;  // address byte, b1, b2, b3

class TRegisterPage : public QWidget {
  Q_OBJECT
public:
  TRegisterPage(TBoardAccess &Board, TComposedDatagram &Datagram, QWidget *parent);
  // The radio group's click handler: fixes the address byte, recomposes, enables the edits.
  virtual void SelectRegister() = 0;
  virtual QPushButton *SendButton() const = 0;
  // Reads the selected register's spin edits as a handler acts on them (clamped and shown,
  // recomposing), or throws for a text that is no number.
  void CheckSelectedValues();
  int SelectedItem() const;

protected:
  // Called once the form is set up: the radio group and the telegram statics of the page.
  void InitRegisterPage(QGroupBox *RadioGroup, const std::array<QLabel *, 4> &Telegram);
  // Connects every value control's change to Handler(Sender) and the radio group's clicks to
  // SelectRegister, each guarded.
  void ConnectValueControls(const std::function<void(QObject *Sender)> &Handler);
  static int Tag(const QObject *Control);
  bool BelongsToSelected(const QObject *Sender) const { return Tag(Sender) == SelectedItem(); }
  void EnableEdits();  // every tagged control enabled exactly when its Tag is the selected item
  void SetAddress(uint8_t Address);
  void SetData(const ctl::DataBytes &Bytes);
  void ShowData();

  TBoardAccess &Board;
  TComposedDatagram &Datagram;

private:
  QList<QWidget *> TaggedControls() const;
  QButtonGroup *Items = nullptr;
  std::array<QLabel *, 4> Telegram{};
};

// "0" .. "1" texts of a checked binary list: item i is the i-th character from the end.
bool BinaryDigitSet(const QString &Text, int Item);
// The whole number a static shows; a text that is none throws EEvalError naming the static.
int StaticNumber(const QLabel *Static);
