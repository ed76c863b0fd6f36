// Win32 half of the player: an entry's body copied for its program off the
// window's thread.
#include "lumirax/entry_opener.h"

#include <new>
#include <utility>

#include "lumirax/player_texts.h"
#include "lumirax/win32_files.h"

namespace turv::player {

namespace {

constexpr std::size_t kPiece = 1u << 20;  // bytes read and written at once
constexpr ULONGLONG kProgressEveryMs = 100;

// The copy was cancelled: the window is closing.
struct Cancelled {};

// A file's size and last write time, or nothing when it is not there.
std::optional<std::pair<std::uint64_t, std::uint64_t>> Stamp(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return {};
  return std::pair{std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow,
                   std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                       data.ftLastWriteTime.dwLowDateTime};
}

}  // namespace

EntryOpener::EntryOpener(const Presentation& presentation, std::u16string workFolder, HWND window,
                         UINT progressMessage, UINT doneMessage)
    : presentation_(presentation),
      workFolder_(std::move(workFolder)),
      window_(window),
      progressMessage_(progressMessage),
      doneMessage_(doneMessage) {}

EntryOpener::~EntryOpener() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

bool EntryOpener::Start(std::size_t index) {
  if (busy_) return false;
  busy_ = true;
  index_ = index;
  done_ = 0;
  total_ = static_cast<std::uint64_t>(presentation_.Entries().at(index).size);
  try {
    thread_ = std::thread([this, index] { Copy(index); });
  } catch (...) {
    busy_ = false;
    throw;
  }
  return true;
}

EntryOpener::Outcome EntryOpener::Finish() {
  if (thread_.joinable()) thread_.join();  // it only posted its end
  busy_ = false;
  return std::move(outcome_);
}

void EntryOpener::Copy(std::size_t index) {
  Outcome outcome{index, {}, How::Copied, {}};
  try {
    const format::Entry& entry = presentation_.Entries()[index];
    const std::u16string folder = JoinPath(workFolder_, kOpenedFolderName);
    if (!::CreateDirectoryW(Wide(folder).c_str(), nullptr) && !FolderExists(folder)) {
      throw PlayerError(std::u16string(text::kFolder) + folder +
                        std::u16string(text::kFolderNotMade) + SystemMessage(::GetLastError()) +
                        u".");
    }
    const std::u16string path = OpenedPath(workFolder_, entry.name);
    const auto known = ours_.find(path);
    if (known != ours_.end() && known->second.index == index &&
        Stamp(path) == known->second.stamp) {
      outcome.path = path;
      outcome.how = How::Existing;
    } else {
      ULONGLONG shown = ::GetTickCount64();
      outcome.path = WriteReplacing(
          path,
          [&](const ByteSink& sink) {
            presentation_.CopyBody(index, kPiece, [&](std::span<const std::uint8_t> piece) {
              if (stop_) throw Cancelled{};
              sink(piece);
              done_ += piece.size();
              if (::GetTickCount64() - shown >= kProgressEveryMs) {
                shown = ::GetTickCount64();
                ::PostMessageW(window_, progressMessage_, 0, 0);
              }
            });
          },
          [&](int n) { return NumberedPath(path, n); });
      outcome.how = outcome.path == path ? How::Copied : How::Second;
      if (const auto stamp = Stamp(outcome.path)) ours_[outcome.path] = {index, *stamp};
    }
  } catch (const Cancelled&) {
    return;
  } catch (const PlayerError& error) {
    outcome.problem = error.Message();
  } catch (const std::bad_alloc&) {
    outcome.problem = text::kNoMemory;
  } catch (const std::exception& error) {
    outcome.problem = std::u16string(text::kInternal) + FromUtf8(error.what());
  }
  outcome_ = std::move(outcome);
  ::PostMessageW(window_, doneMessage_, 0, 0);
}

}  // namespace turv::player
