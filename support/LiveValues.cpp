#include "LiveValues.h"

#include <QLabel>
#include <QProgressBar>
#include "LedLittle.h"

void MarkValuesStale(QWidget *Area) {
  for (QLabel *label : Area->findChildren<QLabel *>())
    if (label->objectName().startsWith(QLatin1String("Static"))) label->setEnabled(false);
  for (QProgressBar *bar : Area->findChildren<QProgressBar *>()) bar->setEnabled(false);
  for (TLedLittle *led : Area->findChildren<TLedLittle *>()) led->SetLedColor(lcDarkGray);
}

void ShowLive(QLabel *Label, const QString &Text) {
  Label->setText(Text);
  Label->setEnabled(true);
}

std::function<void(const QString &Text)> LiveLabel(QLabel *Label) {
  if (!Label) return {};
  return [Label](const QString &Text) { ShowLive(Label, Text); };
}
