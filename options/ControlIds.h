#pragma once

#include "platform/DialogTemplate.h"

// Control ids of the options form (dialog 102).
enum OptionsControlId {
  IDC_INDIR = 1001,
  IDC_BROWSE_INPUT = 1002,
  IDC_INCSUB = 1003,
  IDC_HEIGHT = 1006,
  IDC_SPIN_HEIGHT = 1007,
  IDC_WIDTH = 1008,
  IDC_SPIN_WIDTH = 1009,
  IDC_OUTDIR = 1010,
  IDC_BROWSE_OUTPUT = 1011,
  IDC_PREFIX = 1013,
  IDC_OVERWRITE = 1016,
  IDC_UNIQUE = 1017,
  IDC_CREATE_INDEX = 1021,
  IDC_HELP_BUTTON = 1025,
  IDC_TEMPLATE = 1027,
  IDC_ABOUT = 1028,
  IDC_DESCRIPTION = 1029,
  IDC_NODUPTHUMBS = 1030,
  IDC_CHECKEXIST = 1031,
  IDC_SKIP_CREATION = 1036,
  IDC_CPUFRIEND = 1038,
  IDC_SCALE = 1039,
  IDC_FIXED_HEIGHT = 1040,
  IDC_FIXED_WIDTH = 1041,
};

// Command of the accelerator table (Ctrl+F5).
constexpr int ID_COPY_PARAMETERS = 32771;

// The form's layout (dialog 102, OptionsDialogTemplate.cpp).
extern const DialogTemplate kOptionsDialogTemplate;
