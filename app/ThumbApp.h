#pragma once

#include <wx/app.h>

// The application object: runs the options form and ends with it.
class ThumbApp : public wxApp {
 public:
  bool OnInit() override;
};
