// The test double's GUI framework: forms and the application as the launch
// sees them, with Windows' habit of activating the main form again whenever
// a dialog over it closes.
#include <cstdint>
#include <stdexcept>

#include "fake_windows.h"
#include "platform/app_texts.h"

namespace turv::platform {

struct Form::Impl {
  FormDesign design;
  Rgb color{};
  bool scaled = false;
  int fontSize = 0;
  int fontPixelsPerInch = 96;
  WindowState state = WindowState::Normal;
  WindowId handle = 0;
  bool created = false;
};

struct Application::Impl {
  std::string title;
  Form* mainForm = nullptr;
};

struct FormAccess {
  static Form::Impl& ImplOf(Form& form) { return *form.impl_; }
  static void Create(Form& form) { form.FormCreate(); }
  static void Activate(Form& form) { form.FormActivate(); }
};

namespace {

Application::Impl* liveApplication = nullptr;
WindowId nextWindow = 0x1000;

// a * b / c rounded half away from zero, as Windows' MulDiv rounds.
int MulDiv(int a, int b, int c) {
  const std::int64_t product = std::int64_t{a} * b;
  std::int64_t quotient = product / c;
  const std::int64_t remainder = product % c;
  if (2 * (remainder < 0 ? -remainder : remainder) >= (c < 0 ? -std::int64_t{c} : c)) {
    quotient += (product < 0) != (c < 0) ? -1 : 1;
  }
  return static_cast<int>(quotient);
}

WindowId MainHandle() {
  if (liveApplication == nullptr || liveApplication->mainForm == nullptr) return 0;
  return FormAccess::ImplOf(*liveApplication->mainForm).handle;
}

void ReportError(const std::exception_ptr& error) {
  ShowMessageBox(MainHandle(), ErrorReportText(MessageOf(error)),
                 liveApplication != nullptr ? liveApplication->title : "", kMbOk | kMbIconError);
}

// The framework reports an activation of the main form, as Windows does
// when the form is shown and whenever the focus returns to it.
void ActivateMainForm() {
  auto& record = fake::System().form;
  if (liveApplication == nullptr || liveApplication->mainForm == nullptr) return;
  if (!record.shown || record.closed || record.shownWith == kShowMinNoActive) return;
  ++record.activations;
  try {
    FormAccess::Activate(*liveApplication->mainForm);
  } catch (...) {
    ReportError(std::current_exception());
  }
}

}  // namespace

Form::Form(const FormDesign& design) : impl_(std::make_unique<Impl>()) {
  impl_->design = design;
  impl_->color = design.color;
  impl_->fontPixelsPerInch = fake::System().pixelsPerInch;
  impl_->fontSize = MulDiv(-design.fontHeight, 72, design.pixelsPerInch);
}

Form::~Form() = default;

WindowId Form::Handle() const {
  return impl_->handle;
}
std::string Form::Caption() const {
  return impl_->design.caption;
}
Rgb Form::Color() const {
  return impl_->color;
}
void Form::SetColor(Rgb color) {
  impl_->color = color;
}
void Form::SetScaled(bool scaled) {
  impl_->scaled = scaled;
}
void Form::ScaleBy(int m, int d) {
  impl_->fontSize = MulDiv(impl_->fontSize, m, d);
}
int Form::FontSize() const {
  return impl_->fontSize;
}
int Form::FontPixelsPerInch() const {
  return impl_->fontPixelsPerInch;
}
WindowState Form::State() const {
  return impl_->state;
}
void Form::SetWindowState(WindowState state) {
  impl_->state = state;
}

void Form::Close() {
  auto& system = fake::System();
  if (system.form.closed) return;
  system.form.closed = true;
  system.log.push_back("close");
}

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
  auto& impl = FormAccess::ImplOf(form);
  impl.handle = nextWindow++;
  impl.created = true;
  if (impl_->mainForm == nullptr) impl_->mainForm = &form;
  fake::System().form.created = true;
  try {
    FormAccess::Create(form);
  } catch (...) {
    ReportError(std::current_exception());
  }
}

int Application::Run() {
  if (impl_->mainForm == nullptr) return 0;
  auto& system = fake::System();
  auto& impl = FormAccess::ImplOf(*impl_->mainForm);
  system.form.shown = true;
  if (system.startupShowMode == kShowMinNoActive) {
    system.form.shownWith = kShowMinNoActive;
    impl.state = WindowState::Minimized;
    return 0;  // waits for the user: fake::UserRestores()
  }
  system.form.shownWith = impl.state == WindowState::Maximized ? kShowMaximized : kShowNormal;
  ActivateMainForm();
  return 0;
}

void ShowMessage(const std::string& text) {
  auto& system = fake::System();
  system.messages.push_back(text);
  system.log.push_back("message: " + text);
  ActivateMainForm();  // the focus returns to the form when the dialog closes
}

}  // namespace turv::platform

namespace turv::fake {

void UserRestores() {
  auto& record = System().form;
  if (platform::liveApplication == nullptr || platform::liveApplication->mainForm == nullptr ||
      record.shownWith != platform::kShowMinNoActive) {
    throw std::logic_error("nothing waits to be restored");
  }
  platform::FormAccess::ImplOf(*platform::liveApplication->mainForm).state =
      platform::WindowState::Normal;
  record.shownWith = platform::kShowNormal;
  platform::ActivateMainForm();
}

}  // namespace turv::fake
