// Abstract list controls that the library fills without drawing anything.
//
//   class MyCombo : public zor::platform::IComboBox { ... };   // wraps a widget
//   MyCombo combo;
//   FillLatLonFormatList(&combo, 1);
//   int sel = combo.GetCurSel();
//   uintptr_t code = combo.GetItemData(sel);
//
// Nothing on Linux owns a window, so code that used to send messages to a
// combo box talks to this interface instead; a user interface (or a test)
// supplies the implementation. Indices are 0-based; kComboError (-1) is the
// failure value of every index-returning operation, as in the Windows
// control's messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zor::platform {

inline constexpr int kComboError = -1;

// A drop-down list of texts, each carrying one pointer-sized item data value.
class IComboBox {
 public:
  virtual ~IComboBox() = default;

  // Removes every item and clears the selection.
  virtual void ResetContent() = 0;
  // Appends (or, for a sorted control, inserts) a text; returns its index or
  // kComboError.
  virtual int AddString(std::string_view text) = 0;
  // Attaches a value to an item; false for an index that is not an item.
  virtual bool SetItemData(int index, uintptr_t data) = 0;
  // The value attached to an item; 0 for an index that is not an item.
  virtual uintptr_t GetItemData(int index) const = 0;
  // The text of an item; empty for an index that is not an item.
  virtual std::string GetItemText(int index) const = 0;
  // Selects an item (kComboError clears the selection); returns the index or
  // kComboError when it is not an item.
  virtual int SetCurSel(int index) = 0;
  // The selected item's index, kComboError when none is selected.
  virtual int GetCurSel() const = 0;
  // The number of items.
  virtual int GetCount() const = 0;
};

}  // namespace zor::platform
