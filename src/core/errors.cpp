#include "core/errors.h"

#include "core/texts.h"

namespace turv {

IoError::IoError(std::uint32_t code) : LaunchError(IoErrorText(code)), code_(code) {}

std::string IoErrorText(std::uint32_t code) {
  switch (code) {
    case 2:
      return std::string(texts::kFileNotFound);
    case 3:
      return std::string(texts::kInvalidFileName);
    case 4:
      return std::string(texts::kTooManyOpenFiles);
    case 5:
      return std::string(texts::kFileAccessDenied);
    case 100:
      return std::string(texts::kReadBeyondEnd);
    case 101:
      return std::string(texts::kDiskFull);
    case 106:
      return std::string(texts::kInvalidNumber);
    default:
      return std::string(texts::kIoErrorPrefix) + std::to_string(code);
  }
}

std::string CannotCreateText(const std::string& fullPath, const std::string& systemText) {
  std::string reason = systemText;
  while (!reason.empty() &&
         (reason.back() == '.' || static_cast<unsigned char>(reason.back()) <= 32)) {
    reason.pop_back();
  }
  std::string text(texts::kCannotCreateBefore);
  text += fullPath;
  text += texts::kCannotCreateAfter;
  text += reason;
  return text;
}

}  // namespace turv
