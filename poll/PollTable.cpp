#include "PollTable.h"
#include "DriverParameterMap.h"

namespace {

// Sign-bit position or display form of motor register r.
int MotorRegisterFormat(int r) {
  switch (r) {
    case 0: case 1: case 14: return 23;  // X_TARGET, X_ACTUAL, X_LATCHED
    case 4: case 5: case 7: return 11;   // V_TARGET, V_ACTUAL, A_ACTUAL
    default: return 0;
  }
}

bool MotorRegisterAlwaysPolled(int r) { return r == 0 || r == 1 || r == 4 || r == 5 || r == 7; }

void Set(PollEntry &e, uint8_t datagram, int format, int pageFilter) {
  e.Datagram = datagram;
  e.Format = format;
  e.PageFilter = pageFilter;
}

}  // namespace

TPollTable InitialPollTable() {
  TPollTable t;
  Set(t[0], 0x73, 0, -1);  // controller type and version
  for (int motor = 0; motor < 3; ++motor)
    for (int r = 0; r < 16; ++r)
      Set(t[1 + 16 * motor + r], uint8_t(0x01 + 2 * r + 0x20 * motor), MotorRegisterFormat(r),
          MotorRegisterAlwaysPolled(r) ? -1 : motor);
  // Global registers, shown on the editor's global (3) and special (4) pages.
  const struct { uint8_t datagram; int format, page; } globals[] = {
      {0x61, -6, 3}, {0x63, -6, 3}, {0x65, 0, 3}, {0x67, -6, 3}, {0x7D, 0, 3},
      {0x7F, 0, 3},  {0x69, 0, 4},  {0x6B, 23, 4}, {0x6D, 0, 4}};
  for (int i = 0; i < 9; ++i) Set(t[49 + i], globals[i].datagram, globals[i].format, globals[i].page);
  // Driver parameters of the newer-driver board (58..70), encoder positions (71..74),
  // older-driver load and flags (75..80), QVR550 driver (81..88).
  auto setDriverRows = [&t](int first, const auto &params) {
    for (size_t i = 0; i < std::size(params); ++i) Set(t[first + i], params[i], 0, -1);
  };
  setDriverRows(PollRow::NewerDriverPairs, NewerDriverStatusParams);
  const uint8_t encoder[] = {0x08, 0x0A, 0x0C, 0x12};
  for (int i = 0; i < 4; ++i) Set(t[71 + i], encoder[i], i < 3 ? 23 : 0, 255);
  setDriverRows(PollRow::OlderDriver, OlderDriverStatusParams);
  setDriverRows(PollRow::Qvr550Driver, Qvr550StatusParams);
  return t;
}
