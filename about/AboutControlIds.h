#pragma once

#include "platform/DialogTemplate.h"

// Control ids of the About box (dialog 100).
enum AboutControlId {
  IDC_LINK = 1019,
  IDC_BUILD_TIME = 1037,
};

// The box's layout (dialog 100, AboutDialogTemplate.cpp).
extern const DialogTemplate kAboutDialogTemplate;
