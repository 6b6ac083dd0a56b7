#pragma once

// "Error Code: %d\nDescription: %s" for the last system error (errno), with
// the system's text for it. The text lives in one program-wide buffer of
// 4,096 bytes that the next call overwrites.
const char* FormatLastError();
