#include "app/QSettingsStore.h"

#include <QStringDecoder>
#include <QStringList>

namespace korvane {

namespace {
QString Key(std::string_view section, std::string_view name) {
  return QString::fromUtf8(section.data(), qsizetype(section.size())) + QLatin1Char('/') +
         QString::fromUtf8(name.data(), qsizetype(name.size()));
}

// Whether the bytes are text that a string value keeps unchanged.
bool IsText(std::string_view bytes) {
  if (bytes.find('\0') != std::string_view::npos) return false;
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  [[maybe_unused]] const QString decoded = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  return !decoder.hasError();
}
}  // namespace

std::optional<std::string> QSettingsStore::Value(std::string_view section, std::string_view name) const {
  const QVariant value = settings_.value(Key(section, name));
  if (!value.isValid()) return std::nullopt;
  if (value.typeId() == QMetaType::QByteArray) return value.toByteArray().toStdString();
  // An unquoted text with commas in a settings file reads back as a list.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QStringLiteral(", ")).toStdString();
  return value.toString().toStdString();
}

void QSettingsStore::SetValue(std::string_view section, std::string_view name, std::string_view value) {
  if (IsText(value))
    settings_.setValue(Key(section, name), QString::fromUtf8(value.data(), qsizetype(value.size())));
  else
    settings_.setValue(Key(section, name), QByteArray(value.data(), qsizetype(value.size())));
}

void QSettingsStore::ClearSection(std::string_view section) {
  settings_.remove(QString::fromUtf8(section.data(), qsizetype(section.size())));
}

}  // namespace korvane
