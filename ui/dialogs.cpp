#include "ui/dialogs.h"

#include "base/pattern_format.h"
#include "resources/resource_ids.h"
#include "ui/dialog_template.h"
#include "ui/language_font.h"
#include "ui/ui_environment.h"

namespace kx {

namespace {

constexpr const wchar_t* kProductWord = L"Kestrix";
constexpr const wchar_t* kGenericTitle = L"Kestrix Wizard";

bool hidden_by_silence(unsigned flags) {
  return !(flags & ui_show_when_silent) && ui_environment().silent;
}

// The template `id` in the language's font and reading order.
TemplateCopy prepared_template(UINT id, unsigned flags) {
  const std::uint16_t language = ui_environment().language;
  TemplateCopy copy = LoadTemplate(ui_resources(), id);
  if (!(flags & ui_keep_template_font))
    SetTemplateFont(copy, LanguageFontName(language).as_view(), LanguageFontSize(language),
                    string::view(kTemplateFace), kTemplateFontSize);
  SetTemplateLayoutRtl(copy, LanguageIsRtl(language));
  return copy;
}

}  // namespace

INT_PTR ShowModal(UINT id, HWND owner, DLGPROC procedure, LPARAM parameter, INT_PTR default_result,
                  unsigned flags) {
  if (hidden_by_silence(flags)) return default_result;
  const TemplateCopy copy = prepared_template(id, flags);
  return DialogBoxIndirectParamW(ui_resources(), copy.get(), owner, procedure, parameter);
}

HWND CreateModeless(UINT id, HWND parent, DLGPROC procedure, LPARAM parameter, unsigned flags) {
  if (hidden_by_silence(flags)) return nullptr;
  const TemplateCopy copy = prepared_template(id, flags);
  return CreateDialogIndirectParamW(ui_resources(), copy.get(), parent, procedure, parameter);
}

string WizardTitle(bool force_generic) {
  const string& product = ui_environment().product_name;
  string title =
      force_generic || product.empty()
          ? ui_string(IDS_WIZARD_TITLE)
          : format_with_text(ui_string(IDS_WIZARD_TITLE_PRODUCT).as_view(), product.as_view());
  if (title.empty()) return kGenericTitle;
  if (title.find(kProductWord) == string::npos) title += string(L" ") + kGenericTitle;
  return title;
}

int ShowMessage(HWND owner, const string& text, UINT style, int default_result, unsigned flags) {
  if (hidden_by_silence(flags)) return default_result;
  return MessageBoxW(owner, text.c_str(), WizardTitle(false).c_str(), MessageBoxStyle(style));
}

UINT MessageBoxStyle(UINT style) {
  return LanguageIsRtl(ui_environment().language) ? style | MB_RTLREADING | MB_RIGHT : style;
}

}  // namespace kx
