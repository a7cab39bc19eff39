// Strings read where the dataset keeps them must be the texts the copying
// read gives, in every state a field can be read in: browsing, editing, old
// values, calculated fields, nulls and while a new value is validated.
#include <cstring>
#include <string>
#include <vector>

#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

constexpr const char* kNull = "<null>";

// The text through the copying protocol, the way other datasets are read.
std::string copied_text(const TField& field) {
  std::vector<char> buffer(static_cast<size_t>(field.DataSize()), '\0');
  if (!field.GetData(buffer.data())) return kNull;
  return std::string(buffer.data(), ::strnlen(buffer.data(), buffer.size()));
}

// The text as views read it, in place.
std::string shown_text(const TField& field) {
  std::string text;
  return field.ReadDisplayText(text) ? text : kNull;
}

class StringInPlaceTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table notes (id number(4), name varchar2(20), body varchar2(400))");
    Exec("insert into notes values (1, 'short', 'x')");
    Exec("insert into notes values (2, null, '" + long_body + "')");
    Exec("insert into notes values (3, 'Šola Žaba', null)");
    notes = MakeDataSet("select rowid, id, name, body from notes order by id");
  }
  void TearDown() override {
    notes.reset();
    DataSetTest::TearDown();
  }

  // Both reads of both string fields agree, and the in-place one was taken.
  void ExpectReadsAgree(const char* where) {
    for (const char* name : {"NAME", "BODY"}) {
      TField* field = notes->FieldByName(name);
      EXPECT_TRUE(field->PeekData().kept) << where << ": " << name;
      EXPECT_EQ(shown_text(*field), copied_text(*field)) << where << ": " << name;
    }
  }

  const std::string long_body = std::string(300, 'b');  // longer than the stack buffer of the copying read
  std::unique_ptr<InspectableDataSet> notes;
};
KVELL_DATASET_INTERFACES(StringInPlaceTest);

TEST_P(StringInPlaceTest, browsing_reads_the_stored_texts_and_nulls) {
  notes->Open();
  std::vector<std::string> names, bodies;
  for (notes->First(); !notes->Eof(); notes->Next()) {
    ExpectReadsAgree("browsing");
    names.push_back(shown_text(*notes->FieldByName("NAME")));
    bodies.push_back(shown_text(*notes->FieldByName("BODY")));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"short", kNull, "Šola Žaba"}));
  EXPECT_EQ(bodies, (std::vector<std::string>{"x", long_body, kNull}));
}

TEST_P(StringInPlaceTest, an_edit_shows_the_new_text_and_the_old_value_the_stored_one) {
  notes->Open();
  notes->Edit();
  notes->FieldByName("NAME")->SetAsString("edited");
  notes->FieldByName("BODY")->Clear();
  ExpectReadsAgree("editing");
  EXPECT_EQ(shown_text(*notes->FieldByName("NAME")), "edited");
  EXPECT_EQ(shown_text(*notes->FieldByName("BODY")), kNull);
  EXPECT_EQ(notes->FieldByName("NAME")->OldValue().AsString(), "short");
  EXPECT_EQ(notes->FieldByName("BODY")->OldValue().AsString(), "x");
  notes->Cancel();
  EXPECT_EQ(shown_text(*notes->FieldByName("NAME")), "short") << "the record itself was not touched";
}

TEST_P(StringInPlaceTest, a_validated_value_is_read_before_it_is_stored) {
  notes->Open();
  std::vector<std::string> seen;
  TField* name = notes->FieldByName("NAME");
  name->OnValidate = [&](TField* field) {
    EXPECT_TRUE(field->PeekData().kept);
    EXPECT_EQ(shown_text(*field), copied_text(*field));
    seen.push_back(shown_text(*field));
  };
  notes->Edit();
  name->SetAsString("new");
  name->Clear();
  EXPECT_EQ(seen, (std::vector<std::string>{"new", kNull}));
}

TEST_P(StringInPlaceTest, a_calculated_string_reads_from_the_calculated_area) {
  auto* label = new TStringField(notes.get());
  label->SetFieldName("LABEL");
  label->SetSize(30);
  label->SetFieldKind(fkCalculated);
  label->SetDataSet(notes.get());
  for (const char* name : {"ID", "NAME", "BODY"}) {
    TField* field = CreateFieldOfType(notes.get(), name[0] == 'I' ? ftInteger : ftString);
    field->SetFieldName(name);
    if (name[0] != 'I') field->SetSize(name[0] == 'N' ? 20 : 400);
    field->SetDataSet(notes.get());
  }
  notes->OnCalcFields = [](TDataSet* dataset) {
    const int id = dataset->FieldByName("ID")->AsInteger();
    if (id != 2) dataset->FieldByName("LABEL")->SetAsString("note " + std::to_string(id));
  };
  notes->Open();
  std::vector<std::string> labels;
  for (notes->First(); !notes->Eof(); notes->Next()) {
    EXPECT_TRUE(label->PeekData().kept);
    EXPECT_EQ(shown_text(*label), copied_text(*label));
    labels.push_back(shown_text(*label));
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"note 1", kNull, "note 3"}));
}

}  // namespace
}  // namespace kvell::testing
