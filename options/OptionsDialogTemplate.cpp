#include "options/ControlIds.h"

namespace {
using K = ControlKind;

// Dialog 102: the options form.
const ControlTemplate kControls[] = {
    {IDC_STATIC_RES, K::GroupBox, "&1. Pictures to convert", 7, 7, 361, 62, CS_NONE},
    {IDC_STATIC_RES, K::Label, "&Directory", 19, 18, 29, 8, CS_NONE},
    {IDC_INDIR, K::Edit, "", 19, 32, 281, 14, CS_AUTOHSCROLL},
    {IDC_BROWSE_INPUT, K::PushButton, "&Browse", 311, 32, 50, 14, CS_NONE},
    {IDC_INCSUB, K::CheckBox, "Include &subdirectories", 19, 53, 85, 10, CS_NONE},
    {IDC_STATIC_RES, K::GroupBox, "&2. Options", 7, 75, 361, 75, CS_NONE},
    {IDC_FIXED_HEIGHT, K::CheckBox, "Make fixed &Height", 19, 89, 73, 10, CS_NONE},
    {IDC_HEIGHT, K::Edit, "", 94, 88, 40, 14, CS_NUMBER | CS_READONLY | CS_RIGHT},
    {IDC_SPIN_HEIGHT, K::UpDown, "", 133, 89, 11, 14, CS_NONE},
    {IDC_FIXED_WIDTH, K::CheckBox, "Make fixed &Width", 19, 106, 71, 10, CS_NONE},
    {IDC_WIDTH, K::Edit, "", 94, 104, 40, 14, CS_NUMBER | CS_READONLY | CS_RIGHT},
    {IDC_SPIN_WIDTH, K::UpDown, "", 133, 105, 11, 14, CS_NONE},
    {IDC_SCALE, K::CheckBox, "Sca&le pictures into bounding box", 152, 89, 119, 10, CS_NONE},
    {IDC_STATIC_RES, K::Label, "&Prefix of generated thumbs", 151, 108, 85, 8, CS_NONE},
    {IDC_PREFIX, K::Edit, "", 238, 105, 37, 14, CS_AUTOHSCROLL},
    {IDC_STATIC_RES, K::Label, "E&xisting files", 286, 90, 39, 8, CS_NONE},
    {IDC_OVERWRITE, K::RadioButton, "&Overwrite", 294, 103, 46, 10, CS_GROUP},
    {IDC_UNIQUE, K::RadioButton, "&Give unique name", 294, 115, 73, 10, CS_NONE},
    {IDC_NODUPTHUMBS, K::CheckBox, "Don't create thumbnails for existing thumbnails", 19, 124, 161,
     10, CS_NONE},
    {IDC_CHECKEXIST, K::CheckBox,
     "O&nly create thumbnails for pictures without a corresponding thumbnail", 19, 137, 233, 10,
     CS_NONE},
    {IDC_CPUFRIEND, K::CheckBox, "CP&U friendly", 286, 137, 55, 10, CS_NONE},
    {IDC_STATIC_RES, K::GroupBox, "&3. Where to place them", 7, 153, 361, 48, CS_NONE},
    {IDC_STATIC_RES, K::Label,
     "D&irectory (if you create HTML, this directory should be the same as your input directory "
     "above)",
     19, 164, 295, 8, CS_NONE},
    {IDC_OUTDIR, K::Edit, "", 19, 178, 281, 14, CS_AUTOHSCROLL},
    {IDC_BROWSE_OUTPUT, K::PushButton, "B&rowse", 311, 178, 50, 14, CS_NONE},
    {IDC_STATIC_RES, K::GroupBox, "&4. HTML Creation", 7, 208, 361, 60, CS_NONE},
    {IDC_CREATE_INDEX, K::CheckBox, "&Create index.html file", 19, 222, 81, 10, CS_NONE},
    {IDC_STATIC_RES, K::Label, "Based on &Template", 120, 223, 62, 8, CS_NONE},
    {IDC_TEMPLATE, K::DropDownList, "", 197, 220, 164, 57, CS_SORT | CS_VSCROLL},
    {IDC_DESCRIPTION, K::Edit, "", 198, 233, 163, 32, CS_MULTILINE | CS_READONLY | CS_NOBORDER},
    {IDC_SKIP_CREATION, K::CheckBox, "Skip cre&ation of thumbnails\n(I already created them)", 19,
     238, 160, 23, CS_MULTILINE},
    {IDC_HELP_BUTTON, K::PushButton, "Help", 7, 274, 50, 14, CS_NONE},
    {IDC_ABOUT, K::PushButton, "About", 65, 274, 50, 14, CS_NONE},
    {IDCANCEL_RES, K::PushButton, "Cancel", 261, 274, 50, 14, CS_NONE},
    {IDOK_RES, K::DefPushButton, "Create", 318, 274, 50, 14, CS_NONE},
};
}  // namespace

const DialogTemplate kOptionsDialogTemplate = {
    102, "Vignetor by Korvel Software", 375, 295, kControls, sizeof kControls / sizeof kControls[0],
};
