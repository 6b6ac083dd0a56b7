#include "platform/CompactStyle.h"

#include <wx/platform.h>

#ifdef __WXGTK__
#include <dlfcn.h>

namespace {
// GTK is already loaded by wxWidgets; its few calls needed here are looked up
// at run time, so that the build needs no GTK development files.
using CssProviderNew = void* (*)();
using CssProviderLoad = int (*)(void*, const char*, long, void**);
using ScreenGetDefault = void* (*)();
using AddProviderForScreen = void (*)(void*, void*, unsigned);

constexpr unsigned kApplicationPriority = 600;  // GTK_STYLE_PROVIDER_PRIORITY_APPLICATION
constexpr char kCss[] =
    "entry { min-height: 0; padding-top: 2px; padding-bottom: 2px; }\n"
    "button { min-height: 0; padding-top: 2px; padding-bottom: 2px; }\n"
    // A drop-down list drops a list, as on Windows. GTK's default, a menu
    // item per entry, makes a long template list slow to build and show.
    "combobox { -GtkComboBox-appears-as-list: 1; }\n";

template <class F>
F Lookup(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}
}  // namespace
#endif

void ApplyCompactControlStyle() {
#ifdef __WXGTK__
  static bool applied = false;
  if (applied) return;
  applied = true;
  const auto providerNew = Lookup<CssProviderNew>("gtk_css_provider_new");
  const auto providerLoad = Lookup<CssProviderLoad>("gtk_css_provider_load_from_data");
  const auto screenDefault = Lookup<ScreenGetDefault>("gdk_screen_get_default");
  const auto addProvider =
      Lookup<AddProviderForScreen>("gtk_style_context_add_provider_for_screen");
  if (!providerNew || !providerLoad || !screenDefault || !addProvider) return;
  void* screen = screenDefault();
  if (!screen) return;
  void* provider = providerNew();
  if (provider && providerLoad(provider, kCss, -1, nullptr)) {
    addProvider(screen, provider, kApplicationPriority);
  }
#endif
}
