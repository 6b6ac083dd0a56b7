#pragma once

#include <cstddef>

// Dialogs are described as tables, like the resource scripts they stand for:
// each control with its id, kind, text, and position and size in dialog units.
// Creation order is table order, which is also the tab order.

// Ids of the standard buttons, as the resource tables write them.
constexpr int IDOK_RES = 1;
constexpr int IDCANCEL_RES = 2;
constexpr int IDC_STATIC_RES = -1;  // a static control without an id

enum class ControlKind {
  GroupBox,
  Label,
  Edit,
  PushButton,
  DefPushButton,
  CheckBox,
  RadioButton,
  UpDown,
  DropDownList,
  ReportList,
  Icon,
};

enum ControlStyle : unsigned {
  CS_NONE = 0,
  CS_GROUP = 1u << 0,        // first radio button of a group
  CS_READONLY = 1u << 1,     // edit: no typing
  CS_NUMBER = 1u << 2,       // edit: digits only
  CS_RIGHT = 1u << 3,        // edit: right-aligned text
  CS_AUTOHSCROLL = 1u << 4,  // edit: scrolls horizontally
  CS_MULTILINE = 1u << 5,    // edit or check box: more than one line
  CS_NOBORDER = 1u << 6,     // edit: no frame
  CS_SORT = 1u << 7,         // list: sorted
  CS_VSCROLL = 1u << 8,      // list: vertical scroll bar
  CS_SINGLESEL = 1u << 9,    // report list: one row at a time
  CS_SHOWSELALWAYS = 1u << 10,
  CS_DISABLED = 1u << 11,
  CS_CENTERIMAGE = 1u << 12,
  CS_NOPREFIX = 1u << 13,  // label: "&" is shown, not a mnemonic
};

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, cx, cy;  // dialog units
  unsigned style;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int cx, cy;  // dialog units
  const ControlTemplate* controls;
  std::size_t count;
};

// Each dialog's own table lies beside it and is declared with its control ids.
