// The register editor against the simulated board: telegrams composed by typing and ticking on
// every page, what Send writes, Copy, page switching, decode callbacks and the poll order.
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QListWidget>
#include "CheckedComboBinary.h"
#include "Ev710Advanced.h"
#include "LedLittle.h"
#include "poll/MainSession.h"
#include "PollTable.h"
#include "SpinEdit.h"

namespace {
const char *const TelegramNames[5][4] = {{"StaticSPI11", "StaticSPI21", "StaticSPI31", "StaticSPI41"},
                                         {"StaticSPI12", "StaticSPI22", "StaticSPI32", "StaticSPI42"},
                                         {"StaticSPI13", "StaticSPI23", "StaticSPI33", "StaticSPI43"},
                                         {"StaticSPI1G", "StaticSPI2G", "StaticSPI3G", "StaticSPI4G"},
                                         {"StaticSPI14", "StaticSPI24", "StaticSPI34", "StaticSPI44"}};
const char *const RadioGroups[5] = {"RGMot1", "RGMot2", "RGMot3", "RGGlobalRegs", "RGReg710"};
const char *const SendButtons[5] = {"BtnSendMot1", "BtnSendMot2", "BtnSendMot3", "BtnSendGlobal", "BitBtn2"};
}  // namespace

class TestEditor : public QObject {
  Q_OBJECT
  MainSession s;
  sim::SimulatedBoard *board = nullptr;
  TFormAdvanced *editor = nullptr;

  template <class T> T *Control(const QString &name) const {
    T *w = editor->findChild<T *>(name);
    if (!w) qFatal("no control %s", qPrintable(name));
    return w;
  }
  QTabWidget *Pages() const { return Control<QTabWidget>(QStringLiteral("PageControl")); }
  void OpenEditor(int page) {
    s.Click("BtnCmd705");
    QVERIFY(editor->isVisible());
    Pages()->setCurrentIndex(page);
  }
  QList<QRadioButton *> Items(int page) const {
    return Control<QWidget>(QLatin1String(RadioGroups[page]))->findChildren<QRadioButton *>();
  }
  void Select(int page, int item) {
    QRadioButton *b = Items(page)[item];
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));  // on the round button
  }
  QString Telegram(int page) const {
    QStringList bytes;
    for (const char *name : TelegramNames[page]) bytes << Control<QLabel>(QLatin1String(name))->text();
    return bytes.join(u' ');
  }
  // "Name=value": types into a spin edit or the hex edit, ticks a check box ("1"/"0"), sets the
  // items of a checked list from binary digits, or picks a drop-down item by index.
  // "Name@n=Del": presses Delete in the edit with the cursor at position n.
  void Enter(const QString &assignment) {
    const QString name = assignment.section(u'=', 0, 0), value = assignment.section(u'=', 1);
    if (name.contains(u'@')) {
      auto *edit = Control<QLineEdit>(name.section(u'@', 0, 0));
      edit->setCursorPosition(name.section(u'@', 1).toInt());
      QTest::keyClick(edit, Qt::Key_Delete);
      return;
    }
    QWidget *w = Control<QWidget>(name);
    if (auto *spin = qobject_cast<TSpinEdit *>(w)) {
      spin->Editor()->selectAll();
      QTest::keyClicks(spin->Editor(), value);
    } else if (auto *list = qobject_cast<TCheckedComboBinary *>(w)) {
      for (int i = 0; i < list->Items().size(); ++i) list->SetItemChecked(i, BinaryDigitSet(value, i));
    } else if (auto *check = qobject_cast<QCheckBox *>(w)) {
      check->setChecked(value == u'1');
    } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
      combo->setCurrentIndex(value.toInt());
    } else if (auto *edit = qobject_cast<QLineEdit *>(w)) {
      edit->setFocus();
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_Backspace);
      edit->home(false);
      QTest::keyClicks(edit, value);
    }
  }
  QStringList Writes() const { return Requests(board).filter(QRegularExpression(QStringLiteral("^W"))); }

private slots:
  void initTestCase() {
    s.Start();
    board = MainSession::Board("SIM1");
    editor = s.Main->findChild<TFormAdvanced *>();
    QVERIFY(editor);
  }
  void cleanupTestCase() { s.Stop(); }
  void init() { s.OpenFresh("SIM1"); }
  void cleanup() {
    editor->close();
    s.CloseChecked();
  }

  // Esc in an open checked list closes the list and leaves the motors alone.
  void escapeClosesACheckedList() {
    OpenEditor(0);
    QApplication::setActiveWindow(editor);
    QVERIFY(QTest::qWaitForWindowActive(editor));
    auto *list = Control<TCheckedComboBinary>(QStringLiteral("CBRefConf1"));
    list->DropDown();
    QVERIFY(list->PopUp()->isVisible());
    board->ClearReceivedFrames();
    QTest::keyClick(list->PopUpList(), Qt::Key_Escape);
    QVERIFY(!list->PopUp()->isVisible());
    QCOMPARE(Writes(), QStringList());
  }

  void composesAndSends_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("item");
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QString>("telegram");
    // What Send writes: the edits' values within their ranges, as the telegram showed them
    // before; nothing for a text that is no number.
    QTest::addColumn<QString>("sent");
    QTest::newRow("motor 1 X_LATCHED") << 0 << 13 << QStringList{} << "1C 00 00 00" << "W1C=000000";
    QTest::newRow("motor 3 X_LATCHED") << 2 << 13 << QStringList{} << "5C 00 00 00" << "W5C=000000";
    QTest::newRow("motor 2 currents") << 1 << 7 << QStringList{"EditAgtat2=2", "EditAleat2=3", "EditV02=4", "EditThres2=1500"}
                                      << "30 23 45 DC" << "W30=2345DC";
    QTest::newRow("motor 1 V_TARGET -1") << 0 << 4 << QStringList{"EditVTarg1=-1"} << "08 00 0F FF" << "W08=000FFF";
    QTest::newRow("motor 1 REF_CONF") << 0 << 9 << QStringList{"CBRefConf1=1100", "EditRampMode1=2"} << "14 00 0C 02" << "W14=000C02";
    QTest::newRow("motor 2 interrupts") << 1 << 10 << QStringList{"CbIMask2=10000001", "CbIFlags2=00000010"}
                                        << "36 00 81 02" << "W36=008102";
    QTest::newRow("motor 3 dividers") << 2 << 11 << QStringList{"EditPulsdiv3=5", "EditRampdiv3=9", "EditMStepres3=6"}
                                      << "58 00 59 06" << "W58=005906";
    QTest::newRow("other register's edit") << 0 << 0 << QStringList{"EditXTarg1=7", "EditVMax1=100"} << "00 00 00 07" << "W00=000007";
    QTest::newRow("lone minus") << 0 << 0 << QStringList{"EditXTarg1=-"} << "00 80 00 00" << "";  // Send refuses
    QTest::newRow("motor 3 V_TARGET below range") << 2 << 4 << QStringList{"EditVTarg3=-2048"} << "48 00 08 01" << "W48=000801";
    QTest::newRow("P_MUL above range") << 0 << 8 << QStringList{"EditPMul1=300", "EditPDiv1=3"} << "12 00 FF 03" << "W12=00FF03";
    QTest::newRow("X_TARGET beyond 32 bits") << 0 << 0 << QStringList{"EditXTarg1=99999999999"} << "00 7F FF FF" << "W00=7FFFFF";
    QTest::newRow("Get Low/High Word") << 3 << 2 << QStringList{} << "60 00 00 00" << "W60=000000";
    QTest::newRow("cover") << 3 << 0 << QStringList{"EditSPICP=63", "EditSPICL=31"} << "64 00 3F 1F" << "W64=003F1F";
    QTest::newRow("cover telegram") << 3 << 1 << QStringList{"EditSPICT=12ab3c"} << "66 12 AB 3C" << "W66=12AB3C";
    QTest::newRow("cover telegram, a digit deleted in the middle")
        << 3 << 1 << QStringList{"EditSPICT=12ab3c", "EditSPICT@2=Del"} << "66 12 00 3C" << "W66=12003C";
    QTest::newRow("cover telegram, other keys dropped") << 3 << 1 << QStringList{"EditSPICT=1x2-"} << "66 12 00 00" << "W66=120000";
    QTest::newRow("global parameters") << 3 << 3 << QStringList{"CbRefMux=1", "CbSPIContUpd=1", "CbPoPH=1", "EditClkDiv=15", "EditLSMD=2"}
                                       << "7E 11 0F 12" << "W7E=110F12";
    QTest::newRow("IF_CONFIG_710") << 4 << 2 << QStringList{"CbIfConfPosCompSel710=2", "CheckIfConfEnSd710=1", "CheckIfConfInvRef710=1", "CheckIfConfEnRefR710=1"}
                                   << "68 00 01 A1" << "W68=0001A1";
    QTest::newRow("POS_COMP_710") << 4 << 0 << QStringList{"EditPosComp710=-2"} << "6A FF FF FE" << "W6A=FFFFFE";
    QTest::newRow("POS_COMP_INT_710") << 4 << 1 << QStringList{"CheckPosIntMask710=1"} << "6C 00 01 00" << "W6C=000100";
  }
  void composesAndSends() {
    QFETCH(int, page);
    QFETCH(int, item);
    QFETCH(QStringList, input);
    QFETCH(QString, telegram);
    QFETCH(QString, sent);
    OpenEditor(page);
    Select(page, item);
    for (const QString &assignment : input) Enter(assignment);
    QCOMPARE(Telegram(page), telegram);
    // Only the selected register's controls take input.
    QWidget *pageWidget = Pages()->currentWidget();
    for (QWidget *w : pageWidget->findChildren<QWidget *>())
      if (w->property("Tag").isValid()) QCOMPARE(w->isEnabled(), w->property("Tag").toInt() == item);

    board->ClearReceivedFrames();
    QTest::mouseClick(Control<QPushButton>(QLatin1String(SendButtons[page])), Qt::LeftButton);
    QVERIFY(s.Main->Session->State().PollingEnabled);
    if (sent.isEmpty()) {
      QVERIFY(Writes().isEmpty());
      QCOMPARE(s.Errors.size(), 1);
      s.Errors.clear();
      return;
    }
    QCOMPARE(Writes(), QStringList{sent});
    QCOMPARE(QString(sent.mid(1, 2) + u' ' + sent.mid(4, 2) + u' ' + sent.mid(6, 2) + u' ' + sent.mid(8, 2)), Telegram(page));
  }

  void lostReplyToSendReportsOnceAndPollingGoesOn() {
    OpenEditor(0);
    Select(0, 13);
    board->DropReplyTo([](const std::array<uint8_t, 9> &f) { return f[1] == 71 && f[4] == 0x1C; });
    board->ClearReceivedFrames();
    QTest::mouseClick(Control<QPushButton>(QStringLiteral("BtnSendMot1")), Qt::LeftButton);
    QCOMPARE(s.Errors, QStringList{"The board does not respond!"});
    QCOMPARE(Writes(), QStringList{"W1C=000000"});
    QVERIFY(s.Main->Session->State().PollingEnabled);
    board->ClearReceivedFrames();
    QVERIFY(QTest::qWaitFor([&] { return Requests(board).count(QStringLiteral("R03")) >= 2; }, 8000));
    QCOMPARE(s.Errors.size(), 1);
    s.Errors.clear();
  }

  void copyTakesTheActualValues() {
    board->WithModel([](sim::BoardModel &m) {
      m.Controller().WriteRegister(0, 9, 0x000005);   // P_MUL 0, P_DIV 5
      m.Controller().WriteRegister(0, 10, 0x000C03);  // SOFT_STOP and REF_RnL, HOLD
      m.Controller().WriteRegister(0, 11, 0x00A501);
    });
    OpenEditor(0);
    QVERIFY(QTest::qWaitFor([&] { return s.Text("StaticRampMode1") == QLatin1String("3"); }, 3000));
    QVERIFY(QTest::qWaitFor([&] { return Control<QLabel>("StaticIMask1")->text() == QLatin1String("10100101"); }, 3000));
    Select(0, 8);
    QTest::mouseClick(Control<QPushButton>("BtnCopyMot1"), Qt::LeftButton);
    QCOMPARE(Control<TSpinEdit>("EditPMul1")->Text(), QStringLiteral("128"));  // the edit's minimum
    QCOMPARE(Control<TSpinEdit>("EditPDiv1")->Text(), QStringLiteral("5"));
    QCOMPARE(Control<TCheckedComboBinary>("CBRefConf1")->BinaryText(), QStringLiteral("1100"));
    QCOMPARE(Control<TCheckedComboBinary>("CbIMask1")->BinaryText(), QStringLiteral("10100101"));
    QCOMPARE(Control<TCheckedComboBinary>("CbIFlags1")->BinaryText(), Control<QLabel>("StaticIFlags1")->text());
    QCOMPARE(Control<TSpinEdit>("EditRampMode1")->Text(), QStringLiteral("3"));
    QCOMPARE(Telegram(0), QStringLiteral("12 00 80 05"));
  }

  void copyFromAStaticWithoutNumberChangesNothing_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("staticName");
    QTest::addColumn<QString>("copyButton");
    QTest::newRow("motor") << 0 << "StaticTolerance1" << "BtnCopyMot1";
    QTest::newRow("global") << 3 << "StaticLSMD" << "BtnCopyGlobal";
    QTest::newRow("special") << 4 << "StaticIfConfPosCompSel710" << "BtnCopyQVR710";
  }
  void copyFromAStaticWithoutNumberChangesNothing() {
    QFETCH(int, page);
    QFETCH(QString, staticName);
    QFETCH(QString, copyButton);
    Pages()->setCurrentIndex(page);  // closed: the poll cycle leaves the statics alone
    auto texts = [&] {
      QStringList out;
      for (auto *e : Pages()->widget(page)->findChildren<TSpinEdit *>()) out << e->Text();
      for (auto *c : Pages()->widget(page)->findChildren<QCheckBox *>()) out << QString::number(c->isChecked());
      return out;
    };
    for (QLabel *l : Pages()->widget(page)->findChildren<QLabel *>())
      if (l->objectName().startsWith(QLatin1String("Static")) && !l->objectName().startsWith(QLatin1String("StaticSPI")))
        l->setText(QStringLiteral("1"));
    for (TLedLittle *led : Pages()->widget(page)->findChildren<TLedLittle *>()) led->SetLedColor(lcCyan);
    Control<QLabel>(staticName)->setText(QStringLiteral("n/a"));
    const QStringList before = texts();
    Control<QPushButton>(copyButton)->click();
    QCOMPARE(s.Errors.size(), 1);
    QVERIFY(s.Errors[0].contains(QLatin1String("n/a")));
    QCOMPARE(texts(), before);
    s.Errors.clear();
  }

  void pageSwitchRecomposes() {
    OpenEditor(1);
    Select(1, 7);
    for (const char *a : {"EditAgtat2=2", "EditAleat2=3", "EditV02=4", "EditThres2=1500"}) Enter(QLatin1String(a));
    QCOMPARE(editor->ComposedDatagram, (TComposedDatagram{0x30, 0x23, 0x45, 0xDC}));
    Pages()->setCurrentIndex(0);
    Select(0, 6);
    Enter(QStringLiteral("EditAMax1=258"));
    QCOMPARE(editor->ComposedDatagram, (TComposedDatagram{0x0C, 0x00, 0x01, 0x02}));
    Pages()->setCurrentIndex(5);
    QCOMPARE(editor->ComposedDatagram, (TComposedDatagram{0x0C, 0x00, 0x01, 0x02}));
    Pages()->setCurrentIndex(1);
    QCOMPARE(editor->ComposedDatagram, (TComposedDatagram{0x30, 0x23, 0x45, 0xDC}));
    QCOMPARE(editor->windowTitle(), QStringLiteral("QVR710 Register Set (Motor 2)"));
  }

  void keyboardReachesEverything() {
    OpenEditor(0);
    QApplication::setActiveWindow(editor);
    QVERIFY(QTest::qWaitForWindowActive(editor));
    Select(0, 0);
    Items(0)[0]->setFocus();
    QTest::keyClick(Items(0)[0], Qt::Key_Down);
    QVERIFY(Items(0)[1]->isChecked());
    QCOMPARE(Telegram(0).left(2), QStringLiteral("02"));
    // Reading order: the selected item, its edit, Send, Copy.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Control<TSpinEdit>("EditXAct1")->Editor());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("42"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>("BtnSendMot1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Control<QWidget>("BtnCopyMot1"));
    board->ClearReceivedFrames();
    QTest::keyClick(editor, Qt::Key_S, Qt::AltModifier);  // a mnemonic clicks a moment later
    QVERIFY(QTest::qWaitFor([&] { return !Writes().isEmpty(); }, 2000));
    QCOMPARE(Writes(), QStringList{"W02=00002A"});
  }

  void decodeCallbacksShowTheReply_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("shown");  // "Name=text" of a static, "Name=on"/"off" of a LED
    QTest::newRow("currents") << PollRow::MotorRegister(1, 8) << QByteArray("\x23\x45\xDC", 3)
                              << QStringList{"StaticAgtat2=2", "StaticAleat2=3", "StaticV02=4", "StaticThres2=1500"};
    QTest::newRow("P_MUL/P_DIV") << PollRow::MotorRegister(2, 9) << QByteArray("\x00\xC8\x0D", 3)
                                 << QStringList{"StaticPMul3=200", "StaticPDiv3=13"};
    QTest::newRow("REF_CONF") << PollRow::MotorRegister(0, 10) << QByteArray("\x01\x08\x02", 3)
                              << QStringList{"StaticRefConf1=1000", "StaticRampMode1=2", "LedLP1=on"};
    QTest::newRow("interrupts") << PollRow::MotorRegister(1, 11) << QByteArray("\x00\x81\x40", 3)
                                << QStringList{"StaticIMask2=10000001", "StaticIFlags2=01000000"};
    QTest::newRow("dividers") << PollRow::MotorRegister(0, 12) << QByteArray("\x00\x6D\x05", 3)
                              << QStringList{"StaticPulsdiv1=6", "StaticRampdiv1=13", "StaticMStepres1=5"};
    QTest::newRow("cover") << 51 << QByteArray("\x00\x3F\x1F", 3) << QStringList{"StaticSPICP=63", "StaticSPICL=31"};
    QTest::newRow("reference switches") << 53 << QByteArray("\x00\x00\x21", 3)
                                        << QStringList{"LedR1=on", "LedL1=off", "LedR2=off", "LedL2=off", "LedR3=off", "LedL3=on"};
    QTest::newRow("global parameters") << 54 << QByteArray("\x11\x0F\x12", 3)
                                       << QStringList{"StaticClkDiv=15", "StaticLSMD=2", "LedRefMux=on", "LedSPIContUpd=on",
                                                      "LedPoPH=on", "LedMot1rRef=off", "LedSPICS=off", "LedCsCI=off"};
    QTest::newRow("IF_CONFIG_710") << 55 << QByteArray("\x00\x01\xA1", 3)
                                   << QStringList{"StaticIfConfPosCompSel710=2", "LedIfConfEnSd710=on", "LedIfConfInvRef710=on",
                                                  "LedIfConfEnRefR710=on", "LedIfConfInvDir710=off"};
    QTest::newRow("POS_COMP_INT_710") << 57 << QByteArray("\x00\x01\x00", 3) << QStringList{"LedPosIntMask710=on", "LedPosIntIrq710=off"};
  }
  void decodeCallbacksShowTheReply() {
    QFETCH(int, row);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, shown);
    s.Access().Entry(row).Handler(uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2]));
    for (const QString &expected : shown) {
      const QString name = expected.section(u'=', 0, 0), value = expected.section(u'=', 1);
      if (auto *led = qobject_cast<TLedLittle *>(Control<QWidget>(name)))
        QCOMPARE(led->LedColor(), value == QLatin1String("on") ? lcCyan : lcDarkCyan);
      else
        QCOMPARE(Control<QLabel>(name)->text(), value);
    }
  }

  void pollOrderFollowsTheActivePage_data() {
    QTest::addColumn<int>("page");  // -1: the editor closed
    QTest::addColumn<QString>("reads");
    const QString always = QStringLiteral("R01 R03 R09 R0B R0F R21 R23 R29 R2B R2F R41 R43 R49 R4B R4F");
    QTest::newRow("closed") << -1 << always;
    QTest::newRow("Motor 1") << 0 << "R01 R03 R05 R07 R09 R0B R0D R0F R11 R13 R15 R17 R19 R1B R1D R1F "
                                     "R21 R23 R29 R2B R2F R41 R43 R49 R4B R4F";
    QTest::newRow("Motor 2") << 1 << "R01 R03 R09 R0B R0F R21 R23 R25 R27 R29 R2B R2D R2F R31 R33 R35 R37 R39 R3B "
                                     "R3D R3F R41 R43 R49 R4B R4F";
    QTest::newRow("Motor 3") << 2 << "R01 R03 R09 R0B R0F R21 R23 R29 R2B R2F R41 R43 R45 R47 R49 R4B R4D R4F R51 "
                                     "R53 R55 R57 R59 R5B R5D R5F";
    QTest::newRow("Global Parameters") << 3 << always + " R61 R63 R65 R67 R7D R7F";
    QTest::newRow("QVR710 Specials") << 4 << always + " R69 R6B R6D";
    QTest::newRow("RAM Table") << 5 << always;
  }
  void pollOrderFollowsTheActivePage() {
    QFETCH(int, page);
    QFETCH(QString, reads);
    if (page >= 0) OpenEditor(page);
    // One whole cycle after the change: the controller reads between two cycle starts.
    board->ClearReceivedFrames();
    QStringList cycle;
    QVERIFY(QTest::qWaitFor([&] {
      const QStringList all = Requests(board);
      const int first = int(all.indexOf(QStringLiteral("R01")));
      const int next = first < 0 ? -1 : int(all.indexOf(QStringLiteral("R01"), first + 1));
      if (next < 0) return false;
      cycle = all.mid(first, next - first).filter(QRegularExpression(QStringLiteral("^R")));
      return true;
    }, 3000));
    QCOMPARE(cycle.join(u' '), reads);
    if (page >= 0) {
      editor->close();
      QVERIFY(!s.Access().Views().EditorShown);
    }
  }

  void motorPagesKeepTheIrregularNames() {
    for (const char *name : {"CBRefConf1", "CbRefConf2", "CbRefConf3", "LblXLatch1", "LblLP1Reset", "LblLP2Reset",
                             "LblLP3", "GrpRO1", "GrpRO2", "GroupBox3", "GrpSPI1", "GrpSPI2", "GroupBox4", "EditV03",
                             "StaticSPI42", "GrpMot3New", "RGMot2", "BtnCopyMot3", "LedLP2"})
      QVERIFY2(editor->findChildren<QWidget *>(QLatin1String(name)).size() == 1, name);
  }

  void windowHidesOnCloseAndKeepsItsContent() {
    OpenEditor(2);
    Select(2, 0);
    Enter(QStringLiteral("EditXTarg3=1234"));
    QVERIFY(s.Access().Views().EditorShown);
    editor->close();
    QVERIFY(!editor->isVisible());
    QVERIFY(!s.Access().Views().EditorShown);
    s.Click("BtnCmd705");
    QCOMPARE(Control<TSpinEdit>("EditXTarg3")->Text(), QStringLiteral("1234"));
    QCOMPARE(Control<QLabel>("StaticChipRevision710")->text(), QStringLiteral("QVR710 V2.05"));
  }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
