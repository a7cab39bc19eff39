#include "qt/field_values.h"

#include <QDateTime>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "runtime/date_text.h"
#include "runtime/datetime.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

// Qt's default date-time editor starts at its calendar change; earlier
// dates would be moved to it.
const QDate kFirstEditorDate(1752, 9, 14);

// The shortest text that reads back as the same double, in the form the
// field's own text conversion reads.
QString exact_float_text(double value) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) return QString::number(value, 'g', 17);
  QString text = QString::fromLatin1(buffer, static_cast<qsizetype>(end - buffer));
  text.replace(QLatin1Char('e'), QLatin1Char('E'));
  text.replace(QLatin1Char('.'), QLatin1Char(FormatSettings().DecimalSeparator));
  return text;
}

// Date and time to the millisecond, in the field's text form.
QString exact_date_text(TDateTime value) {
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  DecodeTime(value, hour, minute, second, millisecond);
  std::string text = FormatDateTime("ddddd hh:nn:ss", value);
  if (millisecond != 0) text += FormatSettings().DecimalSeparator + FormatDateTime("zzz", value);
  return QString::fromStdString(text);
}

}  // namespace

QVariant DisplayValue(const TField& field) {
  std::string text;
  return DisplayValue(field, text);
}

QVariant DisplayValue(const TField& field, std::string& scratch) {
  if (!field.ReadDisplayText(scratch)) return {};
  return QString::fromUtf8(scratch.data(), static_cast<qsizetype>(scratch.size()));
}

namespace {

bool is_ascii(std::string_view text) {
  constexpr uint64_t kHighBits = 0x8080808080808080u;
  uint64_t seen = 0;
  size_t i = 0;
  for (; i + sizeof seen <= text.size(); i += sizeof seen) {  // eight at a time
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    seen |= word;
  }
  for (; i < text.size(); ++i) seen |= static_cast<unsigned char>(text[i]);
  return (seen & kHighBits) == 0;
}

// Most display texts are ASCII (numbers, dates, codes): Qt widens those
// into the cell's own buffer when nothing else shares it, instead of
// decoding them into a new string.
void assign_text(QString& target, std::string_view text) {
  const auto size = static_cast<qsizetype>(text.size());
  if (is_ascii(text)) target = QLatin1StringView(text.data(), size);
  else target = QString::fromUtf8(text.data(), size);
}

}  // namespace

void ReadDisplayCell(const TField& field, std::string& scratch, DisplayCell& cell) {
  cell.null = !field.ReadDisplayText(scratch);
  if (!cell.null) assign_text(cell.text, scratch);
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

QVariant TypedValue(const TField& field) {
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

// Qt's default editors hold less than a field can: a double spin box two
// decimals, a date-time edit no date before 1752. Such values are edited as
// text that reads back exactly, since a delegate writes even an unchanged
// editor back.
QVariant EditValue(const TField& field) {
  if (field.IsNull()) return {};
  if (field.OnGetText) return QString::fromStdString(field.Text());
  switch (field.DataType()) {
    case ftFloat: case ftCurrency: case ftBCD:
      return exact_float_text(field.AsFloat());
    case ftDate: case ftTime: case ftDateTime: {
      QVariant value = TypedValue(field);
      if (value.toDateTime().date() >= kFirstEditorDate) return value;
      return exact_date_text(field.AsDateTime());
    }
    default:
      return TypedValue(field);
  }
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
