// TDataSource connects a dataset to data links; TDataLink is the receiving
// end that data-aware controls and detail datasets derive from, with a
// window of BufferCount records around the active one; TMasterDataLink
// follows the master fields a detail dataset depends on.
// Thread-safe: no; links belong to their dataset's thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/db_types.h"
#include "runtime/component.h"

namespace kvell {

class TDataSet;
class TDataLink;
class TField;

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;

  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  TDataSetState State() const { return state_; }
  // Starts editing when AutoEdit is on and the dataset is browsing.
  void Edit();
  bool AutoEdit = true;

  std::function<void(TDataSource*)> OnStateChange;
  std::function<void(TDataSource*, TField*)> OnDataChange;  // field only for a field change
  std::function<void(TDataSource*)> OnUpdateData;

  int DataLinkCount() const { return static_cast<int>(links_.size()); }

 private:
  friend class TDataSet;
  friend class TDataLink;
  void data_event(TDataEvent event, intptr_t info);
  void notify_state();
  void set_state(TDataSetState state);
  void notify_links(TDataEvent event, intptr_t info);

  TDataSet* dataset_ = nullptr;
  std::vector<TDataLink*> links_;
  TDataSetState state_ = dsInactive;
  bool enabled_ = true;
};

class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly = false;
  // Records this link shows; the dataset keeps at least this many buffers.
  int BufferCount() const { return buffer_count_; }
  void SetBufferCount(int value);
  // Position of the active record within this link's window.
  int ActiveRecord() const;
  void SetActiveRecord(int value);
  int RecordCount() const;
  bool Edit();
  void UpdateRecord();
  int MoveBy(int distance);

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) { (void)distance; DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField* field) { (void)field; }
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  friend class TDataSet;
  void data_event(TDataEvent event, intptr_t info);
  void update_active_state();
  void update_range();

  TDataSource* source_ = nullptr;
  int buffer_count_ = 1;
  int first_record_ = 0;  // dataset buffer index of this link's first row
  bool active_ = false;
  bool editing_ = false;
  bool updating_ = false;
};

// Link of a detail dataset to its master: FieldNames are the master fields
// it depends on; OnMasterChange fires when one of them (or the record)
// changes, OnMasterDisable when the master goes inactive.
class TMasterDataLink : public TDataLink {
 public:
  explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}

  const std::string& FieldNames() const { return field_names_; }
  void SetFieldNames(const std::string& names);
  const std::vector<TField*>& Fields() const { return fields_; }
  std::function<void(TMasterDataLink*)> OnMasterChange;
  std::function<void(TMasterDataLink*)> OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override { ActiveChanged(); }
  void RecordChanged(TField* field) override;

 private:
  TDataSet* detail_;
  std::string field_names_;
  std::vector<TField*> fields_;
};

}  // namespace kvell
