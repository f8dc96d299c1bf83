#include "dialog_builder.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "text.h"

namespace win32 {

namespace {

// Appends to a WORD stream that is later copied into a DWORD-aligned buffer.
class TemplateWriter {
 public:
  void word(uint16_t w) { words_.push_back(w); }
  void dword(uint32_t d) {
    word(static_cast<uint16_t>(d & 0xFFFF));
    word(static_cast<uint16_t>(d >> 16));
  }
  void text(const std::wstring& s) {
    for (wchar_t c : s) word(static_cast<uint16_t>(c));
    word(0);
  }
  void alignToDword() {
    if (words_.size() % 2 != 0) word(0);
  }
  std::vector<uint32_t> finish() {
    alignToDword();
    std::vector<uint32_t> out(words_.size() / 2);
    std::memcpy(out.data(), words_.data(), words_.size() * sizeof(uint16_t));
    return out;
  }

 private:
  std::vector<uint16_t> words_;
};

struct ControlClass {
  uint16_t atom;        // predefined class ordinal, or 0 for a named class
  const wchar_t* name;  // the named class
  DWORD style;
  DWORD exStyle;
};

// Styles as a resource compiler gives LTEXT, EDITTEXT, PUSHBUTTON, GROUPBOX and
// AUTORADIOBUTTON; every control but a radio button inside its group starts a group, so each
// radio group ends where the next control begins.
ControlClass classOf(const ControlSpec& c) {
  switch (c.kind) {
    case ControlKind::Label:
      return {0x0082, nullptr, SS_LEFT | WS_GROUP, 0};
    case ControlKind::Edit:
      return {0x0081, nullptr,
              static_cast<DWORD>(ES_LEFT | WS_BORDER | WS_TABSTOP | WS_GROUP |
                                 (c.autoHScroll ? ES_AUTOHSCROLL : 0)),
              0};
    case ControlKind::Button:
      return {0x0080, nullptr, BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0};
    case ControlKind::GroupBox:
      return {0x0080, nullptr, BS_GROUPBOX | WS_GROUP, 0};
    case ControlKind::Radio:
      return {0x0080, nullptr,
              static_cast<DWORD>(BS_AUTORADIOBUTTON | (c.groupStart ? WS_GROUP | WS_TABSTOP : 0)),
              0};
    case ControlKind::Progress:
      return {0, PROGRESS_CLASSW, WS_BORDER | WS_GROUP, 0};
  }
  return {0x0082, nullptr, 0, 0};
}

}  // namespace

std::vector<uint32_t> buildDialogTemplate(const DialogSpec& spec, DWORD style) {
  TemplateWriter w;
  w.word(1);       // dlgVer
  w.word(0xFFFF);  // signature: extended template
  w.dword(0);      // helpID
  w.dword(0);      // exStyle
  w.dword(style | DS_SETFONT);
  w.word(static_cast<uint16_t>(spec.controls.size()));
  w.word(0);  // x, y: placed by DS_CENTER or the system
  w.word(0);
  w.word(static_cast<uint16_t>(spec.width));
  w.word(static_cast<uint16_t>(spec.height));
  w.word(0);  // no menu
  w.word(0);  // the standard dialog class
  w.text(widen(spec.title));
  w.word(static_cast<uint16_t>(spec.fontPointSize));
  w.word(FW_NORMAL);
  // Italic, then the character set: Shift JIS for a Japanese face, so that the font mapper
  // falls back to a Japanese font if the face itself is missing.
  const bool japaneseFace = std::string_view(spec.fontFamily) == "MS UI Gothic";
  w.word(static_cast<uint16_t>((japaneseFace ? SHIFTJIS_CHARSET : DEFAULT_CHARSET) << 8));
  w.text(widen(spec.fontFamily));

  for (const ControlSpec& c : spec.controls) {
    w.alignToDword();
    const ControlClass cls = classOf(c);
    w.dword(0);  // helpID
    w.dword(cls.exStyle);
    w.dword(WS_CHILD | WS_VISIBLE | cls.style | (c.disabled ? WS_DISABLED : 0));
    for (int v : c.rect) w.word(static_cast<uint16_t>(v));
    w.dword(static_cast<uint32_t>(c.id));
    if (cls.atom != 0) {
      w.word(0xFFFF);
      w.word(cls.atom);
    } else {
      w.text(cls.name);
    }
    w.text(widen(c.caption));
    w.word(0);  // no creation data
  }
  return w.finish();
}

HWND createDialog(const DialogSpec& spec, DWORD style, HWND owner, DLGPROC proc, LPARAM param) {
  static const bool controlsReady = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)controlsReady;
  const std::vector<uint32_t> data = buildDialogTemplate(spec, style);
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                    reinterpret_cast<LPCDLGTEMPLATEW>(data.data()), owner, proc,
                                    param);
}

void applyInitialState(HWND dialog, const DialogSpec& spec) {
  for (const ControlSpec& c : spec.controls) {
    if (c.kind == ControlKind::Radio && c.selected) CheckDlgButton(dialog, c.id, BST_CHECKED);
  }
}

std::string controlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return {};
  const int length = GetWindowTextLengthW(control);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return narrow(text);
}

void setControlText(HWND dialog, int id, std::string_view text) {
  SetDlgItemTextW(dialog, id, widen(text).c_str());
}

}  // namespace win32
