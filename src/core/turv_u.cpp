#include "core/turv_u.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>

#include "core/errors.h"
#include "core/file_io.h"
#include "core/ftools_u.h"
#include "core/launch_state.h"
#include "core/text_tools.h"
#include "core/texts.h"
#include "core/wtools_u.h"
#include "platform/ansi_text.h"

namespace turv {

namespace {

std::string PathIn(const std::string& folder, std::string_view name) {
  std::string path = folder;
  path += '\\';
  path += name;
  return path;
}

// Creates folder when it does not exist; the test and the creation report
// failure by their result only, and a failed creation is no error here.
void EnsureFolder(const std::string& folder) {
  if (!platform::FolderExists(folder)) platform::MakeFolder(folder);
}

void StreamWrite(platform::File& file, std::span<const std::uint8_t> bytes) {
  std::uint32_t done = 0;
  if (file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), done) != 0 ||
      done != bytes.size()) {
    throw FileStreamError(std::string(texts::kStreamWriteError));
  }
}

platform::File CreateStreamFile(const std::string& path) {
  platform::SysError error = 0;
  platform::File file = platform::File::Create(path, error);
  if (!file.IsOpen()) {
    throw FileStreamError(
        CannotCreateText(platform::FullPathName(path), platform::SystemErrorText(error)));
  }
  return file;
}

}  // namespace

const platform::FormDesign& Form5Design() {
  static const platform::FormDesign design{
      .caption = "TURVALO",
      .left = 193,
      .top = 140,
      .width = 358,
      .height = 191,
      .centreOnDesktop = true,
      // The design colour is replaced as soon as the window is created.
      .color = {0xD7, 0xE4, 0xF2},
      .fontName = "MS Sans Serif",
      .fontHeight = -18,
      .keyPreview = true,
      .pixelsPerInch = 96,
  };
  return design;
}

TForm5::TForm5() : platform::Form(Form5Design()) {}

// ---- Main window ------------------------------------------------------------

void FitToScreen(platform::Form& window) {
  window.SetScaled(true);
  const int width = platform::ScreenWidth();
  const int height = platform::ScreenHeight();
  const int pixelsPerInch = window.FontPixelsPerInch();
  if (static_cast<double>(height) / width >= 768.0 / 1024.0) {
    window.ScaleBy(width, 1024);
  } else {
    window.ScaleBy(height, 768);
  }
  if (pixelsPerInch != 96) window.ScaleBy(96, pixelsPerInch);
  window.SetWindowState(platform::WindowState::Maximized);
}

// ---- Work folder and start-folder file ---------------------------------------

std::string StripBackslash(std::string_view text) {
  if (platform::EndsInBackslash(text)) text.remove_suffix(1);
  return std::string(text);
}

void PrepareWorkDir() {
  Launch.TempDir = StripBackslash(GetTempDir());
  if (platform::FolderExists(Launch.TempDir)) {
    try {
      Launch.WorkDir = PathIn(Launch.TempDir, kWorkFolderName);
      EnsureFolder(Launch.WorkDir);
    } catch (...) {
      platform::ShowMessage(std::string(texts::kInternalError));
    }
  } else {
    try {
      Launch.WorkDir = PathIn(StripBackslash(platform::CurrentFolder()), kWorkFolderName);
      EnsureFolder(Launch.WorkDir);
    } catch (...) {
      platform::ShowMessage(std::string(texts::kExternalError));
    }
  }
}

void WriteStartDirFile(const std::string& folder, std::string_view name, const std::string& text) {
  const std::string path = PathIn(folder, name);
  const std::string body = TrimControls(text);
  platform::File file = CreateStreamFile(path);
  const auto count = static_cast<std::uint32_t>(body.size());
  const std::array<std::uint8_t, 4> length{
      static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
      static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
  StreamWrite(file, length);
  if (count != 0) {
    StreamWrite(file, {reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
  }
}

// ---- Player extraction ---------------------------------------------------------

void ExtractPlayer(const std::string& folder) {
  try {
    const auto resource = platform::FindRcData(kPlayerResourceId);
    if (!resource) throw LaunchError("player resource missing");
    // Known before the file is written: the data offset depends on it even
    // when the file cannot be written (an earlier player still running).
    Launch.PlayerSize = static_cast<std::int64_t>(resource->size());
    Launch.PlayerPath = PathIn(folder, kPlayerFileName);
    {
      platform::File file = CreateStreamFile(Launch.PlayerPath);
      StreamWrite(file, *resource);  // one pass from the mapped resource
    }
    platform::SysError error = 0;
    platform::File reopened = platform::File::OpenReadWrite(Launch.PlayerPath, error);
    SizeOrRaise(reopened);
  } catch (...) {
    platform::ShowMessage(std::string(texts::kDataStoreError));
  }
}

// ---- Package image and data extraction -------------------------------------------

std::int32_t ReadWholeFile(const std::string& path, Feld& buffer) {
  platform::SysError dropped = 0;
  platform::File file = platform::File::OpenRead(path, dropped);
  const std::uint64_t found = SizeOrRaise(file);
  // The file is held whole in memory, and its size is a signed 32-bit
  // value: one of 2 GiB or more (appended by hand, a broken download) ends
  // the phase before anything is read or written.
  if (found > static_cast<std::uint64_t>(INT32_MAX)) throw std::bad_alloc();
  const auto size = static_cast<std::int32_t>(found);
  // Room for the whole file, the last (short) read and the leading byte, so
  // the buffer never moves while it grows.
  if (size > 0) buffer.Reserve(std::int64_t{size} + kReadChunk + 1);
  buffer.SetLength(1);
  std::int64_t index = 0;
  for (;;) {
    buffer.Grow(kReadChunk);
    const auto chunk = buffer.Run(index, kReadChunk);
    const std::uint32_t got = ReadOrRaise(file, chunk);
    index += got;
    if (got < kReadChunk) break;
  }
  CloseOrRaise(file);
  return size;
}

void WriteByteRange(const std::string& path, Feld& buffer, std::int64_t start, std::int64_t len) {
  platform::SysError dropped = 0;
  platform::File file = platform::File::Create(path, dropped);
  // A file that changed after its size was taken must not lead the copy
  // past the bytes the buffer holds.
  len = std::min(len, buffer.Length());
  start = std::max<std::int64_t>(start, 0);
  const std::int64_t full = len / kWriteBlock * kWriteBlock;

  // Block part: 8,142-byte writes from start, then what is left of it.
  const std::int64_t blockEnd = std::min(full, len - 1);
  std::array<std::uint8_t, kWriteBlock> straddling;
  for (std::int64_t at = start; at <= blockEnd;) {
    const auto count =
        static_cast<std::size_t>(std::min<std::int64_t>(kWriteBlock, blockEnd - at + 1));
    auto run = buffer.Run(at, count);
    if (run.size() < count) {
      // The block spans two segments of the buffer: the one copy the copy needs.
      const auto rest = buffer.Run(at + static_cast<std::int64_t>(run.size()), count - run.size());
      std::memcpy(straddling.data(), run.data(), run.size());
      std::memcpy(straddling.data() + run.size(), rest.data(), rest.size());
      WriteOrRaise(file, std::span(straddling).first(count));
    } else {
      WriteOrRaise(file, run);
    }
    at += static_cast<std::int64_t>(count);
  }
  // Tail part: one byte per write.
  for (std::int64_t at = std::max(start, full + 1); at <= len - 1; ++at) {
    WriteOrRaise(file, buffer.Run(at, 1));
  }
  CloseOrRaise(file);
  buffer.Clear();
  buffer.SetLength(1);
}

// ---- The two phases --------------------------------------------------------------

void TForm5::FormCreate() {
  SetColor(kBackdropColor);
  FitToScreen(*this);
  const std::string startDir = platform::CurrentFolder();
  SetCurrentFolderOrRaise(startDir);
  Launch.StartDir = startDir;
  PrepareWorkDir();
  WriteStartDirFile(Launch.WorkDir, kStartDirFileName, Launch.StartDir);
}

void TForm5::FormActivate() {
  // Every return of the focus is an activation; the launch runs at the first.
  if (activated_) return;
  activated_ = true;

  // Without a work folder every path below would name the root of the
  // current drive: nothing is written, and the failure to enter the empty
  // folder ends the phase.
  if (Launch.WorkDir.empty()) SetCurrentFolderOrRaise(Launch.WorkDir);

  ExtractPlayer(Launch.WorkDir);
  Launch.DataPath = PathIn(Launch.WorkDir, kDataFileName);
  Launch.HasData = false;
  const std::string modulePath = platform::ModuleFileName();
  Launch.OwnPath = platform::LowerAsciiLetters(modulePath);
  if (const auto size = platform::FindEntrySize(modulePath)) Launch.OwnSize = *size;
  Launch.ImageBytes.Clear();
  Launch.ReadSize = ReadWholeFile(Launch.OwnPath, Launch.ImageBytes);
  Launch.HasData = Launch.ReadSize > Launch.PlayerSize;
  if (Launch.HasData) {
    // Unsealed, the program file does not know where its data begins: it
    // would write its own bytes as the data.
    const auto imageLessPlayer = platform::ImageSizeLessPlayer();
    if (!imageLessPlayer) throw LaunchError(std::string(texts::kUnsealedError));
    Launch.DataOffset = Launch.PlayerSize + *imageLessPlayer;
    WriteByteRange(Launch.DataPath, Launch.ImageBytes, Launch.DataOffset, Launch.OwnSize);
    SetCurrentFolderOrRaise(Launch.WorkDir);
    StartPlayer();
  }
  Close();
}

// ---- Player start ------------------------------------------------------------------

void TForm5::StartPlayer() {
  // The player inherits the work folder as its current folder: that is how
  // it finds its data.
  const std::string file = PathIn(Launch.WorkDir, kPlayerFileName);
  try {
    if (LaunchFile(Handle(), file, "", "", platform::kShowMaximized) <= 32) {
      platform::ShowMessage(std::string(texts::kNotExecutable));
    }
  } catch (...) {
    platform::ShowMessageBox(0, std::string(texts::kNotRegistered), std::string(texts::kProblem),
                             platform::kMbIconError);
  }
}

}  // namespace turv
