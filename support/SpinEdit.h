#pragma once
// One-line numeric edits with up/down buttons: TSpinEdit (32-bit integer) and TFloatSpinEdit
// (double). Limits apply when MinValue != MaxValue; a text that is no number reads as
// MinValue. Change() fires on every change of the text.
#include <QWidget>
#include <optional>

class QKeyEvent;
class QLineEdit;
class QToolButton;

class TCustomSpinEdit : public QWidget {
  Q_OBJECT
public:
  explicit TCustomSpinEdit(QWidget *parent = nullptr);
  QString Text() const;
  void SetText(const QString &t);
  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool on) { FEditorEnabled = on; }
  bool ReadOnly() const;
  void SetReadOnly(bool on);
  void SetMaxLength(int n) { FMaxLength = n; }  // limits typing and pasting; 0: no limit
  int MaxLength() const { return FMaxLength; }
  QLineEdit *Editor() const { return FEdit; }
  QToolButton *UpButton() const { return FUp; }
  QToolButton *DownButton() const { return FDown; }
signals:
  void Change();
protected:
  virtual void StepUp() = 0;
  virtual void StepDown() = 0;
  virtual void EditingDone() = 0;        // leaving the edit (and Enter where ReformatsOnEnter)
  virtual bool ReformatsOnEnter() const { return false; }
  virtual bool AcceptsChar(QChar c) const = 0;
  bool eventFilter(QObject *o, QEvent *e) override;
  QLineEdit *FEdit;
  QToolButton *FUp, *FDown;
  bool FEditorEnabled = true;
private:
  void Step(bool up);
  bool FilterKey(QKeyEvent *e);           // true: the key is consumed
  bool IsTypedCharValid(QChar c) const;
  bool PasteCutAllowed() const;
protected:
  [[noreturn]] void RefuseText(const QString &expected);
private:
  void Paste();
  void ShowContextMenu(const QPoint &globalPos);
  void PlaceButtons();
  int RoomLeft() const;                   // characters that may still be typed
  int FMaxLength = 0;
};

class TSpinEdit : public TCustomSpinEdit {
  Q_OBJECT
public:
  explicit TSpinEdit(QWidget *parent = nullptr);
  // The number shown, limited to the range: what a handler will act on (see CheckedValue).
  int Value() const;
  // What a handler acts on: the number shown, limited to the range, and the edit then shows
  // exactly that value. Text that is no whole number throws EEvalError; nothing is sent.
  int CheckedValue();
  void SetValue(int v);
  int Increment() const { return FIncrement; }
  void SetIncrement(int v) { FIncrement = v; }
  int MinValue() const { return FMin; }
  void SetMinValue(int v) { FMin = v; }
  int MaxValue() const { return FMax; }
  void SetMaxValue(int v) { FMax = v; }
  QString RangeText() const;  // "-2048 to 2047"
protected:
  void StepUp() override;
  void StepDown() override;
  void EditingDone() override;
  bool AcceptsChar(QChar c) const override;
private:
  std::optional<qint64> Typed() const;  // the whole number the text holds
  int Clamp(qint64 v) const;
  void ShowValue(qint64 v);
  void ShowTypedValue(qint64 v);
  int FIncrement = 1, FMin = 0, FMax = 0;
};

class TFloatSpinEdit : public TCustomSpinEdit {
  Q_OBJECT
public:
  explicit TFloatSpinEdit(QWidget *parent = nullptr);
  double Value() const;
  double CheckedValue();  // as TSpinEdit::CheckedValue
  void SetValue(double v);
  double Increment() const { return FIncrement; }
  void SetIncrement(double v) { FIncrement = v; }
  double MinValue() const { return FMin; }
  void SetMinValue(double v) { FMin = v; }
  double MaxValue() const { return FMax; }
  void SetMaxValue(double v) { FMax = v; }
protected:
  void StepUp() override;
  void StepDown() override;
  void EditingDone() override;
  bool ReformatsOnEnter() const override { return true; }
  bool AcceptsChar(QChar c) const override;
private:
  double FIncrement = 1.0, FMin = 0, FMax = 0;
};
