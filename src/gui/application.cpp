// The application object: initialisation, the main form, the startup show
// mode, the message loop and the default error report.
#include <windows.h>

#include <stdexcept>

#include "gui/framework.h"
#include "platform/app_texts.h"

namespace turv::platform {

struct Application::Impl {
  std::string title;
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
}  // namespace

Application::Application() : impl_(std::make_unique<Impl>()) {
  impl_->title = ApplicationTitle(ModuleFileName());
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

void ReportError(const std::exception_ptr& error) noexcept {
  try {
    const std::string text = ErrorReportText(MessageOf(error));
    ::MessageBoxA(MainWindow(), text.c_str(), CurrentTitle().c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // Nothing is left to report with; the form stays as it is.
  }
}

}  // namespace turv::platform
