#include "about/AboutControlIds.h"

#include "about/MakerAddress.h"

#include "Version.h"

namespace {
using K = ControlKind;

// Dialog 100: the About box. Icons name their icon resource.
const ControlTemplate kControls[] = {
    {IDC_STATIC_RES, K::Icon, "129", 7, 7, 20, 20, CS_NONE},
    {IDC_STATIC_RES, K::Icon, "128", 7, 35, 20, 20, CS_NONE},
    {IDC_STATIC_RES, K::Label, "wVignetor Version " WV_VERSION, 40, 10, 119, 8, CS_NOPREFIX},
    {IDC_STATIC_RES, K::Label, "Copyright (C) Korvel Software", 41, 22, 106, 8, CS_NONE},
    {IDC_STATIC_RES, K::Label, "Visit Korvel Software on the web", 41, 35, 97, 8, CS_NONE},
    {IDC_STATIC_RES, K::Label, "Thumbnails made with libvips", 41, 47, 96, 8, CS_NONE},
    {IDC_LINK, K::Label, kMakerAddress, 145, 35, 44, 8, CS_NONE},
    {IDOK_RES, K::DefPushButton, "OK", 178, 7, 50, 14, CS_NONE},
    {IDC_BUILD_TIME, K::Label, "Wed Sep 24 11:40:05 2003", 7, 64, 114, 8, CS_NONE},
};
}  // namespace

const DialogTemplate kAboutDialogTemplate = {
    100, "About wVignetor", 235, 79, kControls, sizeof kControls / sizeof kControls[0],
};
