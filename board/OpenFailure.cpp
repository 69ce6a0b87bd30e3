#include "OpenFailure.h"
#include <cerrno>
#include <cstring>

namespace {
QString Reason(int errorCode) {
  switch (errorCode) {
  case EACCES:
  case EPERM:
    return QStringLiteral(
        "Permission denied: your user may not use this device. Give it access, for example by "
        "membership of the \"dialout\" group (log in again afterwards) or by installing the "
        "program's udev rule, which gives the logged-in user access to the board.");
  case EBUSY:
  case EWOULDBLOCK:
    return QStringLiteral(
        "The port is busy: another program, or another copy of this one, is using or has locked "
        "it. Close that program and try again.");
  case ENOENT:
  case ENODEV:
  case ENXIO:
    return QStringLiteral(
        "No such device: the board may be unplugged or have been given another port name. "
        "Plug it in and choose its port again.");
  case ENOTTY:
    return QStringLiteral("The device is not a serial port.");
  default:
    return QString::fromLocal8Bit(std::strerror(errorCode)) + u'.';
  }
}
}  // namespace

QString OpenFailureText(const QString &portEntry, int errorCode) {
  QString text = QStringLiteral("Could not open port ") + portEntry + u'.';
  if (errorCode != 0) text += QStringLiteral("\n\n") + Reason(errorCode);
  return text;
}
