#include "BoardFaces.h"

namespace {
constexpr TBoardFace BoardFaces[] = {
    {1, {"710", "4706"}, "QVR53x", true, true, false, false, true},
    {2, {"515", nullptr}, "QVR51x", false, false, true, false, true},
    {1, {"936", nullptr}, "QVR53x", true, false, false, false, false},
    {3, {"937", nullptr}, "QVR550", false, false, false, true, false},
};
}  // namespace

const TBoardFace *FaceOf(const QByteArray &VersionText) {
  for (const TBoardFace &face : BoardFaces)
    for (const char *prefix : face.Prefixes)
      if (prefix && VersionText.startsWith(prefix)) return &face;
  return nullptr;
}
