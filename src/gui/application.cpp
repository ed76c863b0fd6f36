// The application object: initialisation, the main form, the startup show
// mode, the message loop and the default error report.
#include <windows.h>

#include <stdexcept>

#include "gui/framework.h"
#include "platform/app_texts.h"
#include "win32/system_text.h"

namespace turv::platform {

struct Application::Impl {
  std::string title;
  std::wstring wideTitle;  // set only when the ANSI title is not exact
  Form* mainForm = nullptr;
  bool windowRefused = false;
};

namespace {
// The process has one application; dialogs and the error report find its
// main window and title here.
Application::Impl* liveApplication = nullptr;

int StartupShowMode() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWNORMAL;
}

// The title from the program's name as the system spells it (never from a
// short form of it): by the title rule on its ANSI form where that is exact,
// else formed the same way in wide characters.
void FormTitle(Application::Impl& impl) {
  const std::wstring path = win32::ModulePathWide();
  const std::wstring name = path.substr(path.find_last_of(L"\\/:") + 1);
  bool exact = false;
  const std::string ansiName = win32::AnsiText(name, exact);
  if (exact) {
    impl.title = ApplicationTitle(ansiName);
    return;
  }
  std::wstring title = name.substr(0, name.find(L'.'));
  const std::size_t first = !title.empty() && IS_HIGH_SURROGATE(title[0]) ? 2 : 1;
  if (title.size() > first) {
    ::CharLowerBuffW(title.data() + first, static_cast<DWORD>(title.size() - first));
  }
  impl.wideTitle = title;
  impl.title = win32::AnsiText(title, exact);
}
}  // namespace

Application::Application() : impl_(std::make_unique<Impl>()) {
  FormTitle(*impl_);
  liveApplication = impl_.get();
}

Application::~Application() {
  if (liveApplication == impl_.get()) liveApplication = nullptr;
}

std::string Application::Title() const {
  return impl_->title;
}

void Application::CreateForm(Form& form) {
  if (!CreateFormWindow(form)) {
    // Without its window the form can neither show nor run its events; the
    // user learns of it from a system message box, and the program ends.
    impl_->windowRefused = true;
    ReportError(std::make_exception_ptr(std::runtime_error(std::string(kNoWindowText))));
    return;
  }
  if (impl_->mainForm == nullptr) {
    impl_->mainForm = &form;
    FormAccess::ImplOf(form).isMain = true;
  }
  try {
    FormAccess::Create(form);
  } catch (...) {
    ReportError(std::current_exception());
  }
}

int Application::Run() {
  if (impl_->mainForm == nullptr) return impl_->windowRefused ? 1 : 0;
  HWND window = FormAccess::ImplOf(*impl_->mainForm).window;
  if (window == nullptr) return 0;  // closed in its creation event
  // Started minimised without activation, the form waits in the task bar
  // and comes up at its normal size when the user restores it; any other
  // way it comes up as its state says.
  if (StartupShowMode() == SW_SHOWMINNOACTIVE) {
    ::ShowWindow(window, SW_SHOWMINNOACTIVE);
  } else {
    const bool maximised = FormAccess::ImplOf(*impl_->mainForm).state == WindowState::Maximized;
    ::ShowWindow(window, maximised ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  }
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}

HWND MainWindow() {
  if (liveApplication == nullptr || liveApplication->mainForm == nullptr) return nullptr;
  return FormAccess::ImplOf(*liveApplication->mainForm).window;
}

std::string CurrentTitle() {
  return liveApplication != nullptr ? liveApplication->title : "";
}

void SetTitleOf(HWND window, const std::string& title) {
  if (liveApplication != nullptr && !liveApplication->wideTitle.empty()) {
    // Straight to the default handling: an ANSI window's own procedure
    // would take the text through the code page and lose it again.
    ::DefWindowProcW(window, WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(liveApplication->wideTitle.c_str()));
  } else {
    ::SetWindowTextA(window, title.c_str());
  }
}

int TitledMessageBox(HWND owner, const std::string& text, UINT flags) {
  if (liveApplication != nullptr && !liveApplication->wideTitle.empty()) {
    return ::MessageBoxW(owner, win32::WideText(text).c_str(), liveApplication->wideTitle.c_str(),
                         flags);
  }
  return ::MessageBoxA(owner, text.c_str(), CurrentTitle().c_str(), flags);
}

void ReportError(const std::exception_ptr& error) noexcept {
  try {
    const std::string text = ErrorReportText(MessageOf(error));
    TitledMessageBox(MainWindow(), text, MB_OK | MB_ICONERROR);
  } catch (...) {
    // Nothing is left to report with; the form stays as it is.
  }
}

}  // namespace turv::platform
