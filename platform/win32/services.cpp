#include "services.h"

#include <commdlg.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "text.h"

namespace win32 {

void showMessageBox(HWND owner, std::string_view title, std::string_view text,
                    common::MessageIcon icon) {
  const UINT type = MB_OK | (icon == common::MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0);
  MessageBoxW(owner, widen(text).c_str(), widen(title).c_str(), type);
}

std::string openFileDialog(HWND owner, std::string_view label, std::string_view pattern,
                           std::string_view defaultExtension) {
  // "label\0pattern\0\0": one filter.
  std::wstring filter = widen(label);
  filter.push_back(L'\0');
  filter += widen(pattern);
  filter.push_back(L'\0');
  const std::wstring extension = widen(defaultExtension);
  // Room for long paths; the dialog reports a longer choice as a failure.
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = extension.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameW(&ofn)) return {};
  return narrow(file.data());
}

std::string programName() {
  std::vector<wchar_t> path(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring_view full(path.data(), n);
  const auto slash = full.find_last_of(L"\\/");
  if (slash != std::wstring_view::npos) full.remove_prefix(slash + 1);
  const auto dot = full.find_last_of(L'.');
  if (dot != std::wstring_view::npos && dot > 0) full = full.substr(0, dot);
  return narrow(full);
}

Clocks::Clocks() : startTick_(GetTickCount64()) {}

bool Clocks::counterFrequency(int64_t& ticksPerSecond) const {
  LARGE_INTEGER f;
  if (!QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return false;
  ticksPerSecond = f.QuadPart;
  return true;
}

int64_t Clocks::counterNow() const {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart;
}

int32_t Clocks::clockMillis() const {
  const ULONGLONG ms = GetTickCount64() - startTick_;
  return static_cast<int32_t>(std::min<ULONGLONG>(ms, INT_MAX));
}

void setWindowIcons(HWND window) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Resource id 1: the program's icon (app.rc).
  auto* big = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON),
                                            GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  auto* small = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  if (big != nullptr) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small != nullptr) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
}

namespace {

bool within(HWND window, HWND dialog) {
  return dialog != nullptr && (window == dialog || IsChild(dialog, window));
}

}  // namespace

void dispatchMessage(MSG& message, HWND mainDialog, HWND progressDialog, bool swallowEnterEscape) {
  const bool key =
      message.message == WM_KEYDOWN || message.message == WM_KEYUP || message.message == WM_CHAR;
  if (swallowEnterEscape && key && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE) &&
      within(message.hwnd, mainDialog)) {
    return;
  }
  if (within(message.hwnd, progressDialog) && IsDialogMessageW(progressDialog, &message)) return;
  if (within(message.hwnd, mainDialog) && IsDialogMessageW(mainDialog, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

}  // namespace win32
