#pragma once

#include <map>
#include <vector>

#include <wx/dialog.h>

#include "platform/DialogTemplate.h"

class wxRadioButton;

// A dialog built from a resource table: it converts dialog units with the
// dialog's own font and creates every control in table order (the tab order).
class ResourceDialog : public wxDialog {
 public:
  explicit ResourceDialog(const DialogTemplate& dialogTemplate);

  // Creates the window and its controls. Modal dialogs call it from their
  // constructor; `parent` may be null.
  bool CreateFromTemplate(wxWindow* parent);

  // The control of a resource id, or null.
  wxWindow* GetControl(int resourceId) const;
  template <class T>
  T* Control(int resourceId) const {
    return dynamic_cast<T*>(GetControl(resourceId));
  }
  // The radio buttons of the group that starts with `firstId`, in table order.
  std::vector<wxRadioButton*> RadioGroup(int firstId) const;

  const DialogTemplate& Template() const { return m_template; }

  // wxWidgets' id for a resource id (1 and 2 are OK and Cancel).
  static int WindowId(int resourceId);

  // Dialog units to pixels, measured as Windows measures them: the average
  // width of the 52 letters and the height of the dialog font. (A font's own
  // "average character width" is narrower than real text, which would cut
  // labels short.)
  wxPoint DialogToPixels(const wxPoint& units) const;
  wxSize DialogToPixels(const wxSize& units) const;

 protected:
  // A dialog that binds a control of its table to a class of its own creates
  // that control here (called from CreateFromTemplate); null: the table's kind.
  virtual wxWindow* CreateCustomControl(const ControlTemplate& /*control*/) { return nullptr; }

 private:
  wxWindow* CreateControl(const ControlTemplate& control);
  void PlaceControls();
  int WidestTextScale() const;

  const DialogTemplate& m_template;
  int m_baseX = 0;
  int m_baseY = 0;
  std::map<int, wxWindow*> m_controls;
  std::vector<wxWindow*> m_created;  // table order, static controls included
};
