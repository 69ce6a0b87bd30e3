#include "LoadGraph.h"
#include <algorithm>

void TLoadHistory::Add(uint16_t ldValue, uint8_t tlValue) {
  if (count < Newest) {
    ++count;
  } else {
    std::copy(ld.begin() + 1, ld.end(), ld.begin());
    std::copy(tl.begin() + 1, tl.end(), tl.begin());
  }
  ld[count] = ldValue;
  tl[count] = tlValue;
}

void TLoadHistory::Clear() {
  ld.fill(0);
  tl.fill(0);
  count = 0;
}

namespace LoadGraph {

TSpan CurrentBar(const TGraphLimits &g) {
  const int cs = g.CurrentScale;
  const int shift = std::clamp(g.TLIMin + 1, 0, 31);  // the poll cycle stores whatever byte the board sent
  return {Grid * (31 - cs), Grid * (31 - (cs >> shift))};
}

TSpan HysteresisBand(const TGraphLimits &g, int height) {
  const int64_t h = height;
  return {int(h - (int64_t(g.TLMin + g.TLMax + 1) * 32 * h) / 1023), int(h - (int64_t(g.TLMin) * 32 * h) / 1023)};
}

int LDY(int ld, int height) { return height - height * ld / 1023; }

int TLStartY(int tl, int height) { return (31 - tl) * height / 31; }

int TLY(int tl) { return Grid * (31 - tl); }

}  // namespace LoadGraph
