#pragma once

#include <wx/string.h>

// The options of a run as the form's fields hold them: flags are 0 or 1, the
// existing-files choice is the index of its radio button (0 overwrite, 1
// unique names), sizes are pixels, texts are as typed. The form keeps them
// (OptionsDialog derives from this record); the settings read and write them
// (OptionKeys.h).
struct OptionValues {
  int m_bIncSub = 0;
  wxString m_strInDir;
  wxString m_strOutDir;
  int m_nHeight = 100;
  int m_nWidth = 100;
  wxString m_strPrefix;
  int m_nExisting = 1;
  int m_bIndex = 1;
  int m_bNoDupThumbs = 1;
  int m_bSkipCreation = 0;  // never saved: every start begins with it off
  int m_bCheckExist = 0;
  int m_bCpuFriend = 0;
  int m_bFixedHeight = 1;
  int m_bFixedWidth = 0;
  int m_bScale = 0;
};
