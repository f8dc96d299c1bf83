// Drives a running window of another program under the same Windows session, for the tests
// of the native windows: window-driver TITLE STEP...  (window-driver --acp prints the ANSI
// code page instead)
//   set ID TEXT    sets the text of control ID
//   click ID       presses button ID (posted, so a conversion it starts does not block here;
//                  a radio button is clicked itself)
//   message        waits for a message box owned by the window, prints "TITLE|TEXT" (UTF-8)
//                  on its own line and presses its OK button
//   key ID KEY     posts the key press KEY (enter or escape) to control ID
//   alive          fails if the window has gone within a second
//   gone           waits until the window has gone
//   close          asks the window to close and waits until it has gone
// Exits 1 when the window, a control or a message box does not appear within 120 s.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& s) {
  if (s.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

void print(const std::string& line) {
  DWORD written = 0;
  const std::string text = line + "\n";
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

int fail(const std::string& why) {
  print("window-driver: " + why);
  return 1;
}

std::wstring textOf(HWND window) {
  wchar_t buffer[4096] = {};
  GetWindowTextW(window, buffer, 4096);
  return buffer;
}

template <typename Found>
HWND waitFor(Found found) {
  for (int i = 0; i < 1200; ++i) {
    if (HWND w = found()) return w;
    Sleep(100);
  }
  return nullptr;
}

struct BoxSearch {
  HWND owner;
  HWND box;
};

BOOL CALLBACK findBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<BoxSearch*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  // A message box is a dialog owned by the window, with its text in the static of id 0xFFFF.
  if (std::wstring(cls) == L"#32770" && GetWindow(window, GW_OWNER) == search->owner &&
      GetDlgItem(window, 0xFFFF) != nullptr && IsWindowVisible(window)) {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2) return fail("usage: window-driver TITLE STEP...");
  if (std::wstring(argv[1]) == L"--acp") {
    print(std::to_string(GetACP()));
    return 0;
  }
  const std::wstring title = argv[1];
  // Visible only once the dialog has made all its controls.
  HWND target = waitFor([&] {
    HWND w = FindWindowW(nullptr, title.c_str());
    return w != nullptr && IsWindowVisible(w) ? w : nullptr;
  });
  if (target == nullptr) return fail("no window titled " + utf8(title));

  for (int i = 2; i < argc; ++i) {
    const std::wstring step = argv[i];
    if ((step == L"set" || step == L"click") && i + 1 < argc) {
      const int id = _wtoi(argv[++i]);
      HWND control = GetDlgItem(target, id);
      if (control == nullptr) return fail("no control " + std::to_string(id));
      if (step == L"set") {
        if (i + 1 >= argc) return fail("set needs a text");
        SetWindowTextW(control, argv[++i]);
      } else if ((GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
        SendMessageW(control, BM_CLICK, 0, 0);  // the button itself moves its group's check
      } else {
        PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
      }
    } else if (step == L"message") {
      BoxSearch search{target, nullptr};
      const HWND box = waitFor([&] {
        search.box = nullptr;
        EnumWindows(&findBox, reinterpret_cast<LPARAM>(&search));
        return search.box;
      });
      if (box == nullptr) return fail("no message box");
      print(utf8(textOf(box)) + "|" + utf8(textOf(GetDlgItem(box, 0xFFFF))));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      waitFor([&] { return IsWindow(box) ? nullptr : target; });
    } else if (step == L"key" && i + 2 < argc) {
      HWND control = GetDlgItem(target, _wtoi(argv[++i]));
      const std::wstring key = argv[++i];
      const WPARAM vk = key == L"enter" ? VK_RETURN : VK_ESCAPE;
      if (control == nullptr) return fail("no control for the key");
      PostMessageW(control, WM_KEYDOWN, vk, 1);
      PostMessageW(control, WM_KEYUP, vk, 0xC0000001);
    } else if (step == L"alive") {
      Sleep(1000);
      if (!IsWindow(target)) return fail("the window has gone");
    } else if (step == L"gone") {
      if (waitFor([&] { return IsWindow(target) ? nullptr : target; }) == nullptr) {
        return fail("the window is still there");
      }
    } else if (step == L"close") {
      PostMessageW(target, WM_CLOSE, 0, 0);
      if (waitFor([&] { return IsWindow(target) ? nullptr : target; }) == nullptr) {
        return fail("the window did not close");
      }
    } else {
      return fail("unknown step " + utf8(step));
    }
  }
  LocalFree(argv);
  return 0;
}
