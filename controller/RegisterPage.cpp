#include "RegisterPage.h"
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include "CheckedComboBinary.h"
#include "Ev710Guard.h"
#include "Ev710Utils.h"
#include "SpinEdit.h"

using namespace ctl;

TRegisterPage::TRegisterPage(TBoardAccess &Board, TComposedDatagram &Datagram, QWidget *parent)
    : QWidget(parent), Board(Board), Datagram(Datagram) {}

void TRegisterPage::InitRegisterPage(QGroupBox *RadioGroup, const std::array<QLabel *, 4> &TelegramStatics) {
  Telegram = TelegramStatics;
  Items = new QButtonGroup(this);
  int id = 0;
  for (QRadioButton *b : RadioGroup->findChildren<QRadioButton *>()) Items->addButton(b, id++);
}

void TRegisterPage::ConnectValueControls(const std::function<void(QObject *Sender)> &Handler) {
  for (QWidget *w : TaggedControls()) {
    auto changed = Guarded(this, [Handler, w] { Handler(w); });
    if (auto *e = qobject_cast<TSpinEdit *>(w)) connect(e, &TSpinEdit::Change, this, changed);
    else if (auto *c = qobject_cast<TCheckedComboBinary *>(w)) connect(c, &TCheckedComboBinary::OnChange, this, changed);
    else if (auto *b = qobject_cast<QCheckBox *>(w)) connect(b, &QCheckBox::toggled, this, changed);
    else if (auto *l = qobject_cast<QComboBox *>(w)) connect(l, &QComboBox::currentIndexChanged, this, changed);
    else if (auto *t = qobject_cast<QLineEdit *>(w)) connect(t, &QLineEdit::textChanged, this, changed);
  }
  connect(Items, &QButtonGroup::idClicked, this, Guarded(this, [this] { SelectRegister(); }));
}

QList<QWidget *> TRegisterPage::TaggedControls() const {
  QList<QWidget *> out;
  for (QWidget *w : findChildren<QWidget *>())
    if (w->property("Tag").isValid()) out << w;
  return out;
}

int TRegisterPage::Tag(const QObject *Control) {
  const QVariant tag = Control ? Control->property("Tag") : QVariant();
  return tag.isValid() ? tag.toInt() : -1;
}

int TRegisterPage::SelectedItem() const { return Items->checkedId(); }

void TRegisterPage::EnableEdits() {
  const int k = SelectedItem();
  for (QWidget *w : TaggedControls()) w->setEnabled(Tag(w) == k);
}

void TRegisterPage::CheckSelectedValues() {
  for (TSpinEdit *e : findChildren<TSpinEdit *>())
    if (Tag(e) == SelectedItem()) e->CheckedValue();
}

void TRegisterPage::SetAddress(uint8_t Address) {
  Datagram[0] = Address;
  Telegram[0]->setText(IntToHex(Address, 2));
}

void TRegisterPage::SetData(const DataBytes &Bytes) {
  std::copy(Bytes.begin(), Bytes.end(), Datagram.begin() + 1);
}

void TRegisterPage::ShowData() {
  for (int i = 1; i < 4; ++i)
    Telegram[i]->setText(IntToHex(Datagram[i], 2));
}

bool BinaryDigitSet(const QString &Text, int Item) {
  const qsizetype at = Text.size() - 1 - Item;
  return at >= 0 && Text.at(at) == u'1';
}

int StaticNumber(const QLabel *Static) {
  bool ok = false;
  const int v = QLocale::c().toInt(Static->text().trimmed(), &ok);
  if (!ok)
    throw EEvalError(QStringLiteral("%1 shows \"%2\", which is not a whole number. Nothing was copied.")
                         .arg(Static->objectName(), Static->text()));
  return v;
}


