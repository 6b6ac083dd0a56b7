#pragma once

#include "platform/DialogTemplate.h"

// Control ids of the template input dialog (dialog 132).
enum TemplateInputControlId {
  IDC_VALUE_LIST = 1031,
  IDC_VALUE_PROMPT = 1032,
  IDC_VALUE_EDIT = 1033,
  IDC_SET_VALUE = 1034,
};

// The dialog's layout (dialog 132, TemplateInputDialogTemplate.cpp).
extern const DialogTemplate kTemplateInputDialogTemplate;
