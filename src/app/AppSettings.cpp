#include "app/AppSettings.h"

#include "app/AppTexts.h"
#include "core/Rounding.h"

#include <QSettings>

namespace {

QSettings Store() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, AppTexts::kOrganisation,
                   AppTexts::kApplication);
}

int ReadInteger(const QSettings& store, const char* key, int fallback) {
  bool ok = false;
  const int value = store.value(key).toInt(&ok);
  return ok ? value : fallback;
}

} // namespace

int DefaultThumbSpace(int thumbSize) {
  return static_cast<int>(Round(thumbSize * 0.05));
}

TAppSettings ReadAppSettings() {
  const QSettings store = Store();
  TAppSettings settings;
  settings.BatchFolder = store.value("Directory/Batch").toString();
  // A size below one pixel or a negative gap cannot lay out a strip (the
  // column count divides by their sum): such values fall back.
  settings.ThumbSize = ReadInteger(store, "Preview/Size", 120);
  if (settings.ThumbSize < 1) settings.ThumbSize = 120;
  settings.ThumbSpace = ReadInteger(store, "Preview/Space", DefaultThumbSpace(settings.ThumbSize));
  if (settings.ThumbSpace < 0) settings.ThumbSpace = 0;
  return settings;
}

void WriteBatchFolderSetting(const QString& batchFolder) {
  QSettings store = Store();
  store.setValue("Directory/Batch", batchFolder);
  store.sync();
}
