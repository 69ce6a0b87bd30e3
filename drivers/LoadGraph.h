#pragma once
// The driver windows' load graph without widgets: the LD/TL sample history and where each part
// of the picture goes (pixels, y growing downward, divisions truncating toward zero).
#include <array>
#include <cstdint>

class TLoadHistory {
public:
  static constexpr int Newest = 421;  // samples sit at 0..421; the count is the newest's index

  // The count steps up to 421; after that both histories move one place toward index 0.
  void Add(uint16_t ld, uint8_t tl);
  void Restart() { count = 0; }  // a motor change: the samples stay, the count starts over
  void Clear();
  int Count() const { return count; }
  uint16_t LD(int i) const { return ld[i]; }
  uint8_t TL(int i) const { return tl[i]; }

private:
  std::array<uint16_t, Newest + 1> ld{};
  std::array<uint8_t, Newest + 1> tl{};
  int count = 0;
};

// What the graph draws besides the samples.
struct TGraphLimits {
  int CurrentScale = 0;  // CS, 0..31
  int TLIMin = 0;        // item index: 0 "1/2 CS", 1 "1/4 CS"
  int TLMin = 0, TLMax = 0;
};

struct TSpan {
  int Top, Bottom;
};

namespace LoadGraph {
constexpr int Grid = 7;  // pixels per grid step and per current step
// The current bar: from CS down to the load-adaptive minimum, 7 pixels per step, 31 at y = 0.
TSpan CurrentBar(const TGraphLimits &g);
// The hysteresis band of TLMIN and TLMAX on the LD scale, in a picture `height` high.
TSpan HysteresisBand(const TGraphLimits &g, int height);
int LDY(int ld, int height);          // LD trace, 0..1023 over the height
int TLStartY(int tl, int height);     // the TL trace's first point
int TLY(int tl);                      // the TL trace's further points, 7 pixels per level
}  // namespace LoadGraph
