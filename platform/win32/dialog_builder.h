// Builds a dialog from its DialogSpec: an in-memory extended dialog template (DLGTEMPLATEEX)
// for CreateDialogIndirectParamW, and the initial states the template cannot carry.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dialog_spec.h"

namespace win32 {

// `style` is the dialog's own window style; the font comes from the spec. The buffer is
// DWORD-aligned, as the system requires.
std::vector<uint32_t> buildDialogTemplate(const DialogSpec& spec, DWORD style);

// Creates the modeless dialog (hidden unless `style` has WS_VISIBLE); nullptr on failure.
HWND createDialog(const DialogSpec& spec, DWORD style, HWND owner, DLGPROC proc, LPARAM param);

// Checks the radio buttons the spec marks as selected (called from WM_INITDIALOG).
void applyInitialState(HWND dialog, const DialogSpec& spec);

// Text of a control as UTF-8; sets it from UTF-8.
std::string controlText(HWND dialog, int id);
void setControlText(HWND dialog, int id, std::string_view text);

}  // namespace win32
