#include "platform/app_texts.h"

#include <new>
#include <stdexcept>

#include "platform/cp1252.h"

namespace turv::platform {

std::string ApplicationTitle(std::string_view modulePath) {
  const auto slash = modulePath.find_last_of("\\/:");
  std::string_view name =
      slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  std::string title(name);
  for (std::size_t i = 1; i < title.size(); ++i) title[i] = LowerCp1252(title[i]);
  return title;
}

std::string ErrorReportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::string MessageOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    return std::string(kOutOfMemoryText);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unbekannter Fehler";
  }
}

}  // namespace turv::platform
