#pragma once

// Control ids of the About box (dialog 100).
enum AboutControlId {
  IDC_LINK = 1019,
  IDC_BUILD_TIME = 1037,
};
