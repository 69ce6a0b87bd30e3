#include "BoardFaces.h"

namespace {
constexpr TBoardFace BoardFaces[] = {
    {TBoardKind::NewerDrivers, {"710", "4706"}, "QVR53x", true, true, false, false, true},
    {TBoardKind::OlderDrivers, {"515", nullptr}, "QVR51x", false, false, true, false, true},
    {TBoardKind::NewerDrivers, {"936", nullptr}, "QVR53x", true, false, false, false, false},
    {TBoardKind::Qvr550, {"937", nullptr}, "QVR550", false, false, false, true, false},
};
}  // namespace

const TBoardFace *FaceOf(const QByteArray &VersionText) {
  for (const TBoardFace &face : BoardFaces)
    for (const char *prefix : face.Prefixes)
      if (prefix && VersionText.startsWith(prefix)) return &face;
  return nullptr;
}
