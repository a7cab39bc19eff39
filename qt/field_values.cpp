#include "qt/field_values.h"

#include <QDateTime>

#include "runtime/datetime.h"

namespace kvell {

QVariant DisplayValue(const TField& field) {
  if (field.IsNull()) return {};
  return QString::fromStdString(field.DisplayText());
}

QDateTime ToQDateTime(TDateTime value) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, millisecond);
  return QDateTime(QDate(year, month, day), QTime(hour, minute, second, millisecond));
}

TDateTime FromQDateTime(const QDateTime& value) {
  const QDate date = value.date();
  const QTime time = value.time();
  TDateTime day = EncodeDate(date.year(), date.month(), date.day());
  TDateTime time_of_day = EncodeTime(time.hour(), time.minute(), time.second(), time.msec());
  return day < 0 ? day - time_of_day : day + time_of_day;
}

QVariant EditValue(const TField& field) {
  if (field.IsNull()) return {};
  Variant value = field.AsVariant();
  switch (value.VarType()) {
    case varBoolean: return value.AsBoolean();
    case varInteger: return value.AsInteger();
    case varInt64: return static_cast<qlonglong>(value.AsInt64());
    case varDouble: return value.AsDouble();
    case varDate: return ToQDateTime(value.AsDateTime());
    default: break;
  }
  if (value.IsBytes()) {
    std::vector<uint8_t> bytes = value.AsBytes();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  }
  return QString::fromStdString(field.Text());
}

Qt::Alignment AlignmentOf(TFieldType type) {
  switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD:
    case ftAutoInc: case ftLargeint:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ftBoolean:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
      return Qt::AlignLeft | Qt::AlignVCenter;
  }
}

void AssignEditValue(TField& field, const QVariant& value) {
  if (!value.isValid() || value.isNull()) {
    field.Clear();
    return;
  }
  switch (value.typeId()) {
    case QMetaType::QString: field.SetText(value.toString().toStdString()); break;
    case QMetaType::Bool: field.SetAsBoolean(value.toBool()); break;
    case QMetaType::Int: field.SetAsInteger(value.toInt()); break;
    case QMetaType::LongLong: field.SetAsVariant(static_cast<int64_t>(value.toLongLong())); break;
    case QMetaType::Double: field.SetAsFloat(value.toDouble()); break;
    case QMetaType::QDateTime: field.SetAsDateTime(FromQDateTime(value.toDateTime())); break;
    case QMetaType::QDate: field.SetAsDateTime(FromQDateTime(value.toDate().startOfDay())); break;
    case QMetaType::QByteArray: {
      const QByteArray bytes = value.toByteArray();
      field.SetAsVariant(Variant::FromBytes(std::vector<uint8_t>(bytes.begin(), bytes.end())));
      break;
    }
    default: field.SetText(value.toString().toStdString()); break;
  }
}

}  // namespace kvell
