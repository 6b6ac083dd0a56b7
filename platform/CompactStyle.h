#pragma once

// Tightens the padding of GTK's entries, buttons and drop-down lists so that
// they fit the row heights of dialog tables laid out for 14-unit controls.
// Applied once; does nothing on other toolkits.
void ApplyCompactControlStyle();
