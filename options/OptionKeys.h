#pragma once

#include <cstddef>

#include "options/OptionValues.h"

// Settings group of the options.
extern const char kOptionsSection[];

// How a stored integer becomes a field and back.
enum class IntForm {
  Value,  // stored as the field's value, read as stored
  Flag,   // stored as 1 or 0, read as on only when the stored value is 1
  Size,   // stored as the field's value, read as stored when the size
          // up-downs take it (kSizeLower to kSizeUpper), else as the default
};

// The range of the thumbnail width and height up-downs, in pixels.
constexpr int kSizeLower = 50;
constexpr int kSizeUpper = 1000;

// One saved option: its key, its default and its field. The field is named by
// its member pointer so that loading and saving share one table.
struct OptionKey {
  const char* key;
  int OptionValues::*intField;  // null for a text option
  IntForm form;
  int intDefault;
  wxString OptionValues::*textField;  // null for an integer option
  const char* textDefault;
};

// In the order they are read when the form is constructed.
extern const OptionKey kLoadedOptions[];
extern const std::size_t kLoadedOptionCount;
// In the order they are written after a run.
extern const char* const kSavedOrder[];
extern const std::size_t kSavedOrderCount;

// Reads every option of kLoadedOptions from the settings into `values`, in
// that order; a missing or unusable one takes its default.
void LoadOptionValues(OptionValues& values);

// Writes the options in kSavedOrder and saves the settings file; false when
// it could not be saved.
bool SaveOptionValues(const OptionValues& values);

// Key and default of the last chosen template (read by the template list,
// written when a run takes the template).
extern const char kTemplateKey[];
extern const char kTemplateDefault[];
