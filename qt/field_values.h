// How a field's value looks to Qt's item roles: the display text (a null is
// an empty cell, a blob a short marker), the value as QVariant for editors,
// the alignment by field type, and writing an editor's value back.
// Thread-safe: no; fields belong to their dataset's thread.
#pragma once

#include <QVariant>

#include "db/field.h"

namespace kvell {

// The field's display text; an invalid QVariant for a null value.
QVariant DisplayValue(const TField& field);
// The same, reading the text through scratch (kept for the next cell).
QVariant DisplayValue(const TField& field, std::string& scratch);

// A display text held for a view. Null stays apart from an empty text, and
// the text's buffer is rewritten in place when nothing else shares it.
struct DisplayCell {
  QString text;
  bool null = true;

  QVariant Value() const { return null ? QVariant() : QVariant(text); }
  bool operator==(const DisplayCell& other) const {
    return null == other.null && (null || text == other.text);
  }
};
// Reads the field's display text into cell through scratch.
void ReadDisplayCell(const TField& field, std::string& scratch, DisplayCell& cell);
// The field's value as a typed QVariant (numbers, QDateTime), for sorting and
// computing; an invalid QVariant for null.
QVariant TypedValue(const TField& field);
// The field's value as Qt's default editor for its type holds it exactly: a
// number with a fraction and a date before 1752 as text; an invalid QVariant
// for null.
QVariant EditValue(const TField& field);
Qt::Alignment AlignmentOf(TFieldType type);
// Text goes through the field's text conversion, other values through its
// variant conversion; an invalid or null value clears the field.
void AssignEditValue(TField& field, const QVariant& value);

QDateTime ToQDateTime(TDateTime value);
TDateTime FromQDateTime(const QDateTime& value);

}  // namespace kvell
