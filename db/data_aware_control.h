// A data-aware control as the layer sees it in the application's component
// list: the data source it shows, and the colours and text length that
// query-by-example mode changes. Hosts wrap their real widgets in it.
// Thread-safe: no; controls belong to the window-system thread.
#pragma once

#include <cstdint>

#include "runtime/component.h"

namespace kvell {

class TDataSource;

// Colours as the framework stores them: 0x00BBGGRR, or a system colour with
// the high bit set.
using TColor = int32_t;
constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);
constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
constexpr TColor clDefault = 0x20000000;
constexpr TColor clNone = 0x1FFFFFFF;

inline bool IsSystemColor(TColor color) { return color < 0; }

class TDataAwareControl : public TComponent {
 public:
  using TComponent::TComponent;
  ~TDataAwareControl() override { BeforeDestruction(); }

  virtual TDataSource* DataSource() const = 0;
  virtual void SetFontColor(TColor color) = 0;
  virtual void SetBackgroundColor(TColor color) = 0;
  // Characters the control accepts; 0 means no limit.
  virtual int MaxLength() const { return 0; }
  virtual void SetMaxLength(int length) { (void)length; }
};

}  // namespace kvell
