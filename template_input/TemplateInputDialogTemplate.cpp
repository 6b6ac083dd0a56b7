#include "template_input/InputControlIds.h"

namespace {
using K = ControlKind;

// Dialog 132: the values a template asks for.
const ControlTemplate kControls[] = {
    {IDC_STATIC_RES, K::Label,
     "This template for HTML creation needs some additional input from you.\n"
     "Select a row in the table below, change the value as needed below the tabel and then "
     "press \"Set\".\n\nPress OK to start the creation of thumbnails and HTML.",
     7, 7, 322, 39, CS_NONE},
    {IDC_VALUE_LIST, K::ReportList, "", 7, 58, 322, 100, CS_SINGLESEL | CS_SHOWSELALWAYS},
    {IDC_VALUE_PROMPT, K::Label, "", 7, 164, 322, 8, CS_NONE},
    {IDC_VALUE_EDIT, K::Edit, "", 7, 177, 322, 14, CS_AUTOHSCROLL},
    {IDC_SET_VALUE, K::DefPushButton, "&Set", 279, 195, 50, 14, CS_NONE},
    {IDCANCEL_RES, K::PushButton, "Cancel", 225, 216, 50, 14, CS_NONE},
    {IDOK_RES, K::PushButton, "OK", 279, 216, 50, 14, CS_NONE},
};
}  // namespace

const DialogTemplate kTemplateInputDialogTemplate = {
    132, "Input required for template", 336, 237, kControls, sizeof kControls / sizeof kControls[0],
};
