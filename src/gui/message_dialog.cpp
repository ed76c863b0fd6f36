// The plain message dialog: a standard static text and a standard "OK"
// button in a dialog box, so that screen readers and UI automation can read
// and press it. Centred on the screen, titled with the application title,
// no icon; Enter and Esc close it; the text is word-wrapped within half the
// screen's width.
#include <windows.h>

#include <cstring>
#include <vector>

#include "gui/framework.h"

namespace turv::platform {

namespace {

constexpr int kTextId = 100;

struct DialogText {
  const std::string* text;
  const std::string* title;
};

// A dialog template in memory: the dialog, then a static and a button. Item
// texts are set after creation through the ANSI calls, so that the bytes
// pass as they are.
class DialogTemplate {
 public:
  DialogTemplate() {
    DLGTEMPLATE dialog{};
    dialog.style = DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog.cdit = 2;
    Append(&dialog, sizeof dialog);
    Word(0);  // no menu
    Word(0);  // standard dialog class
    Word(0);  // empty title
    Word(8);  // font size in points
    WideText(L"MS Shell Dlg");
    Item(SS_LEFT | SS_NOPREFIX | WS_CHILD | WS_VISIBLE | WS_GROUP, kTextId, 0x0082);
    Item(BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP, IDOK, 0x0080);
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Append(const void* data, std::size_t size) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + size);
    std::memcpy(bytes_.data() + at, data, size);
  }
  void Word(WORD w) { Append(&w, sizeof w); }
  void WideText(const wchar_t* text) { Append(text, (std::wcslen(text) + 1) * sizeof(wchar_t)); }
  void Item(DWORD style, WORD id, WORD atom) {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);  // items are DWORD aligned
    DLGITEMTEMPLATE item{};
    item.style = style;
    item.id = id;
    Append(&item, sizeof item);
    Word(0xFFFF);
    Word(atom);  // 0x0080 button, 0x0082 static
    Word(0);     // text set later
    Word(0);     // no creation data
  }
  std::vector<unsigned char> bytes_;
};

SIZE DialogUnits(HWND dialog, int x, int y) {
  RECT r{0, 0, x, y};
  ::MapDialogRect(dialog, &r);
  return {r.right, r.bottom};
}

void Layout(HWND dialog, const std::string& text) {
  HWND label = ::GetDlgItem(dialog, kTextId);
  HWND button = ::GetDlgItem(dialog, IDOK);
  const SIZE margin = DialogUnits(dialog, 8, 8);
  const SIZE gap = DialogUnits(dialog, 0, 8);
  const SIZE buttonSize = DialogUnits(dialog, 50, 14);
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(dialog, GWL_STYLE));

  // Half the screen's width for the whole dialog, frame included.
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  const int frameWidth = frame.right - frame.left;
  const int maxText = ::GetSystemMetrics(SM_CXSCREEN) / 2 - frameWidth - 2 * margin.cx;

  RECT textRect{0, 0, maxText > 0 ? maxText : 1, 0};
  HDC dc = ::GetDC(label);
  HGDIOBJ oldFont =
      ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(dialog, WM_GETFONT, 0, 0)));
  ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  ::SelectObject(dc, oldFont);
  ::ReleaseDC(label, dc);

  const int textWidth = textRect.right - textRect.left;
  const int textHeight = textRect.bottom - textRect.top;
  const int clientWidth = (textWidth > buttonSize.cx ? textWidth : buttonSize.cx) + 2 * margin.cx;
  const int clientHeight = margin.cy + textHeight + gap.cy + buttonSize.cy + margin.cy;

  ::MoveWindow(label, margin.cx, margin.cy, textWidth, textHeight, FALSE);
  ::MoveWindow(button, (clientWidth - buttonSize.cx) / 2, margin.cy + textHeight + gap.cy,
               buttonSize.cx, buttonSize.cy, FALSE);

  RECT outer{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectEx(&outer, style, FALSE, 0);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  ::SetWindowPos(dialog, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      try {
        const auto* texts = reinterpret_cast<const DialogText*>(lParam);
        SetTitleOf(dialog, *texts->title);
        ::SetDlgItemTextA(dialog, kTextId, texts->text->c_str());
        ::SetDlgItemTextA(dialog, IDOK, "OK");
        Layout(dialog, *texts->text);
      } catch (...) {
        // The dialog shows what it has.
      }
      return TRUE;  // focus on the default button
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void ShowMessage(const std::string& text) {
  static const DialogTemplate dialogTemplate;
  const std::string title = CurrentTitle();
  const DialogText texts{&text, &title};
  if (::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), dialogTemplate.Get(), MainWindow(),
                                MessageDialogProc, reinterpret_cast<LPARAM>(&texts)) <= 0) {
    // The dialog could not come up (no memory, a hook refused it): the
    // message still reaches the user.
    TitledMessageBox(MainWindow(), text, MB_OK);
  }
}

}  // namespace turv::platform
