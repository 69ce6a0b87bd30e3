#include "PollTable.h"
#include "DriverParameterMap.h"
#include "Ev710Registers.h"

namespace {

// Motor registers every cycle reads; the others only while the editor shows their motor's page.
bool MotorRegisterAlwaysPolled(int r) {
  return r == ctl::X_TARGET || r == ctl::X_ACTUAL || r == ctl::V_TARGET || r == ctl::V_ACTUAL || r == ctl::A_ACTUAL;
}

void Set(PollEntry &e, uint8_t datagram, int format, int pageFilter) {
  e.Datagram = datagram;
  e.Format = format;
  e.PageFilter = pageFilter;
}

// Editor pages of the global registers.
constexpr int GlobalPage = 3, SpecialPage = 4;
constexpr int NeverByAdvance = 255;

}  // namespace

TPollTable InitialPollTable() {
  using namespace ctl;
  TPollTable t;
  Set(t[PollRow::ControllerVersion], GlobalRegisterAddress(CHIP_TYPE_REVISION, true), FormUnsigned, -1);
  for (int motor = 0; motor < 3; ++motor)
    for (int r = 0; r < MotorRegisterCount; ++r)
      Set(t[size_t(PollRow::MotorRegister(motor, r))], MotorRegisterAddress(motor + 1, r, true),
          MotorRegisters[size_t(r)].Format, MotorRegisterAlwaysPolled(r) ? -1 : motor);
  const struct { int index, format, page; } globals[] = {
      {SPI_TELEGRAM_LOW_WORD, FormHex6, GlobalPage}, {SPI_TELEGRAM_HIGH_WORD, FormHex6, GlobalPage},
      {SPI_COVER_POS_LEN, FormUnsigned, GlobalPage}, {SPI_COVER_TELEGRAM, FormHex6, GlobalPage},
      {REF_SWITCH_STATES, FormUnsigned, GlobalPage}, {GLOBAL_PARAMETERS, FormUnsigned, GlobalPage},
      {IF_CONFIG_710, FormUnsigned, SpecialPage},    {POS_COMP_710, FormSigned24, SpecialPage},
      {POS_COMP_INT_710, FormUnsigned, SpecialPage}};
  int row = PollRow::FirstGlobal;
  for (const auto &g : globals) Set(t[size_t(row++)], GlobalRegisterAddress(g.index, true), g.format, g.page);
  // Driver parameters of the newer-driver board, encoder positions, older-driver load and
  // flags, QVR550 driver.
  auto setDriverRows = [&t](int first, const auto &params) {
    for (size_t i = 0; i < std::size(params); ++i) Set(t[size_t(first) + i], params[i], FormUnsigned, -1);
  };
  setDriverRows(PollRow::NewerDriverPairs, NewerDriverStatusParams);
  const uint8_t encoder[] = {0x08, 0x0A, 0x0C, 0x12};
  for (int i = 0; i < 4; ++i)
    Set(t[size_t(PollRow::Encoder + i)], encoder[i], i < 3 ? FormSigned24 : FormUnsigned, NeverByAdvance);
  setDriverRows(PollRow::OlderDriver, OlderDriverStatusParams);
  setDriverRows(PollRow::Qvr550Driver, Qvr550StatusParams);
  return t;
}
