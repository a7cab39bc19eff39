// The dataset's option types and its published sub-objects. The sub-objects
// carry their published properties and defaults; what they drive (sequences
// and generated statements) belongs to the dataset's write-back code.
// Thread-safe: plain values.
#pragma once

#include <string>
#include <vector>

#include "runtime/string_list.h"

namespace kvell {

enum TLockingModeOptions { lmLockImmediate, lmCheckImmediate, lmLockDelayed, lmNone };

enum TRefreshOption : unsigned { roBeforeEdit = 1u << 0, roAfterInsert = 1u << 1, roAfterUpdate = 1u << 2,
                                 roAllFields = 1u << 3 };
using TRefreshOptions = unsigned;

// What the provider-support interface leaves out.
enum TOracleProviderOption : unsigned { opNoKeyFields = 1u << 0, opNoIndexDefs = 1u << 1,
                                        opNoDefaultOrder = 1u << 2, opNoCommit = 1u << 3 };
using TOracleProviderOptions = unsigned;

enum TAfterFetchRecordAction { afContinue, afPause, afStop, afCancel };

enum TSequenceApplyMoment { amOnNewRecord, amOnPost, amOnServer };

class TSequenceField {
 public:
  std::string Field;
  std::string Sequence;
  TSequenceApplyMoment ApplyMoment = amOnPost;
  // In use when both names are set.
  bool InUse() const { return !Field.empty() && !Sequence.empty(); }
};

}  // namespace kvell
