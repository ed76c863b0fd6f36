// Win32 half of the player: its sounds, through MCI's "mpegvideo" device
// (winmm, in every Windows: the DirectShow filters behind it play MP3,
// WAV, M4A/AAC and WMA where the system has its media components, and an
// edition without them merely fails to open; Media Foundation's DLLs are
// missing there and would have to be loaded by hand). A small message-only
// window takes MCI's end notices; bodies too large to write on the
// window's thread are written by a thread of the desk's own.
#include "lumirax/sound_desk.h"

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "lumirax/player_texts.h"
#include "lumirax/win32_files.h"

namespace turv::player {

namespace {

constexpr wchar_t kSinkClass[] = L"turv.lumirax.sound";
constexpr UINT kCopied = WM_APP + 1;  // the writer finished a body (wParam: entry)
// Bodies up to this size are written on the window's thread (a few ms).
constexpr std::uint64_t kWriteAtOnce = 4u << 20;

// A number in a command (std::to_wstring would import wide printf).
std::wstring Decimal(unsigned value) {
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

// One MCI command string; its answer, or nothing when MCI refused it.
std::optional<std::wstring> Mci(const std::wstring& command, HWND callback = nullptr) {
  std::array<wchar_t, 128> answer{};
  if (::mciSendStringW(command.c_str(), answer.data(), static_cast<UINT>(answer.size()),
                       callback) != 0) {
    return std::nullopt;
  }
  return std::wstring(answer.data());
}

std::optional<std::uint32_t> MciNumber(const std::wstring& command) {
  const auto answer = Mci(command);
  if (!answer || answer->empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (const wchar_t c : *answer) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - L'0');
  }
  return value;
}

// An open MCI device under an alias of its own; closed when its owner goes.
class Device {
 public:
  Device() = default;
  Device(Device&& other) noexcept
      : alias_(std::exchange(other.alias_, {})), id_(std::exchange(other.id_, 0)) {}
  Device& operator=(Device&& other) noexcept {
    if (this != &other) {
      Close();
      alias_ = std::exchange(other.alias_, {});
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device() { Close(); }

  // Opens the file for playing; an empty device when MCI cannot.
  static Device Open(const std::u16string& path, unsigned number) {
    Device device;
    const std::wstring alias = L"turv" + Decimal(number);
    const std::wstring file = L"\"" + Wide(path) + L"\"";
    bool open = Mci(L"open " + file + L" type mpegvideo alias " + alias).has_value();
    // Without DirectShow's filters a WAV file still plays on the wave device.
    if (!open && KindOfWave(path)) {
      open = Mci(L"open " + file + L" type waveaudio alias " + alias).has_value();
    }
    if (!open) return device;
    device.alias_ = alias;
    device.id_ = ::mciGetDeviceIDW(alias.c_str());
    device.Command(L"set", L"time format milliseconds");
    return device;
  }

  explicit operator bool() const { return !alias_.empty(); }
  MCIDEVICEID Id() const { return id_; }
  bool Command(const wchar_t* verb, const std::wstring& rest = {}, HWND callback = nullptr) const {
    return Mci(std::wstring(verb) + L" " + alias_ + (rest.empty() ? L"" : L" " + rest), callback)
        .has_value();
  }
  std::optional<std::uint32_t> Status(const wchar_t* item) const {
    return MciNumber(L"status " + alias_ + L" " + item);
  }

 private:
  static bool KindOfWave(const std::u16string& path) {
    return path.size() > 4 &&
           (path.ends_with(u".wav") || path.ends_with(u".WAV") || path.ends_with(u".Wav"));
  }
  void Close() {
    if (!alias_.empty()) Mci(L"close " + alias_);
    alias_.clear();
    id_ = 0;
  }

  std::wstring alias_;
  MCIDEVICEID id_ = 0;
};

enum class Copy { None, Writing, Ready, Failed };

}  // namespace

struct SoundDesk::Impl {
  struct Track {
    Device device;
    std::optional<std::size_t> entry;  // what the channel plays (or waits to play)
    int volume = 100;
    bool repeat = false;
    bool paused = false;
  };

  Impl(const Presentation& p, std::u16string work, HWND notifyWindow, UINT ended)
      : presentation(p),
        workFolder(std::move(work)),
        notify(notifyWindow),
        endedMessage(ended),
        copies(p.Entries().size(), Copy::None) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kSinkClass;
    ::RegisterClassExW(&windowClass);  // a second desk finds it registered
    sink = win32::WindowHandle(::CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                                 nullptr, windowClass.hInstance, nullptr));
    if (sink) ::SetWindowLongPtrW(sink.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    writer = std::thread([this] { Write(); });
  }

  ~Impl() {
    {
      const std::lock_guard lock(mutex);
      stop = true;
    }
    wake.notify_all();
    writer.join();
    for (Track& track : tracks) track.device = Device();
    if (sink) ::SetWindowLongPtrW(sink.Get(), GWLP_USERDATA, 0);
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == MM_MCINOTIFY) {
      self->Notified(wParam, static_cast<MCIDEVICEID>(lParam));
      return 0;
    }
    if (self != nullptr && message == kCopied) {
      self->Copied(static_cast<std::size_t>(wParam));
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }

  Track& Of(Channel channel) { return tracks[static_cast<std::size_t>(channel)]; }

  // The body as a file, written now when small; nothing while a large one
  // is still being written, or when it cannot be.
  Copy Prepare(std::size_t entry) {
    if (copies[entry] != Copy::None) return copies[entry];
    if (static_cast<std::uint64_t>(presentation.Entries()[entry].size) <= kWriteAtOnce) {
      copies[entry] = WriteBody(entry, {}) ? Copy::Ready : Copy::Failed;
    } else {
      copies[entry] = Copy::Writing;
      {
        const std::lock_guard lock(mutex);
        queue.push_back(entry);
      }
      wake.notify_all();
    }
    return copies[entry];
  }

  std::u16string PathOf(std::size_t entry) const {
    return SoundPath(workFolder, presentation.Entries()[entry].name);
  }

  // Any thread. False when the body cannot be written (or the desk stops).
  bool WriteBody(std::size_t entry, const std::atomic<bool>* stopFlag) {
    struct Stopped {};
    try {
      const std::u16string folder = JoinPath(workFolder, kSoundFolderName);
      ::CreateDirectoryW(Wide(folder).c_str(), nullptr);
      WriteReplacing(PathOf(entry), [&](const ByteSink& sinkOf) {
        presentation.CopyBody(entry, 1u << 20, [&](std::span<const std::uint8_t> piece) {
          if (stopFlag != nullptr && stopFlag->load()) throw Stopped{};
          sinkOf(piece);
        });
      });
      return true;
    } catch (...) {
      return false;
    }
  }

  void Write() {
    for (;;) {
      std::size_t entry = 0;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return stop || !queue.empty(); });
        if (stop) return;
        entry = queue.front();
        queue.pop_front();
      }
      const bool ok = WriteBody(entry, &stopping);
      {
        const std::lock_guard lock(mutex);
        if (stop) return;
        written.emplace_back(entry, ok);
      }
      ::PostMessageW(sink.Get(), kCopied, entry, 0);
    }
  }

  void Copied(std::size_t) {
    std::vector<std::pair<std::size_t, bool>> done;
    {
      const std::lock_guard lock(mutex);
      done.swap(written);
    }
    for (const auto& [entry, ok] : done) {
      copies[entry] = ok ? Copy::Ready : Copy::Failed;
      for (std::size_t c = 0; c < tracks.size(); ++c) {
        Track& track = tracks[c];
        if (track.entry != entry || track.device) continue;
        // The channel waited for this body: it plays now, or its sound is
        // over before it began.
        if (!ok || !Start(track)) Ended(static_cast<Channel>(c));
      }
    }
  }

  bool Start(Track& track) {
    track.device = Device::Open(PathOf(*track.entry), ++aliases);
    if (!track.device) return false;
    track.device.Command(L"setaudio",
                         L"volume to " + Decimal(static_cast<unsigned>(track.volume) * 10));
    if (!track.device.Command(L"play", L"from 0 notify", sink.Get())) {
      track.device = Device();
      return false;
    }
    if (track.paused) track.device.Command(L"pause");
    return true;
  }

  void Ended(Channel channel) {
    Track& track = Of(channel);
    track = Track();
    ::PostMessageW(notify, endedMessage, static_cast<WPARAM>(channel), 0);
  }

  void Notified(WPARAM flags, MCIDEVICEID id) {
    if (flags != MCI_NOTIFY_SUCCESSFUL || id == 0) return;
    for (std::size_t c = 0; c < tracks.size(); ++c) {
      Track& track = tracks[c];
      if (!track.device || track.device.Id() != id) continue;
      if (track.repeat && track.device.Command(L"play", L"from 0 notify", sink.Get())) return;
      Ended(static_cast<Channel>(c));
      return;
    }
  }

  const Presentation& presentation;
  const std::u16string workFolder;
  const HWND notify;
  const UINT endedMessage;
  win32::WindowHandle sink;
  std::array<Track, 3> tracks;
  std::vector<Copy> copies;  // per entry, on the window's thread
  unsigned aliases = 0;      // the last device's number

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::size_t> queue;
  std::vector<std::pair<std::size_t, bool>> written;
  bool stop = false;
  std::atomic<bool> stopping = false;  // read between pieces of a large body
  std::thread writer;                  // last: starts when everything above is there
};

SoundDesk::SoundDesk(const Presentation& presentation, std::u16string workFolder, HWND notify,
                     UINT endedMessage)
    : impl_(std::make_unique<Impl>(presentation, std::move(workFolder), notify, endedMessage)) {}

SoundDesk::~SoundDesk() {
  impl_->stopping = true;
}

bool SoundDesk::Play(Channel channel, std::size_t entry, int volumePercent, bool repeat) {
  Stop(channel);
  if (!impl_->sink || entry >= impl_->presentation.Entries().size() ||
      KindByName(impl_->presentation.Entries()[entry].name) != Kind::Audio) {
    return false;
  }
  Impl::Track& track = impl_->Of(channel);
  track.entry = entry;
  track.volume = std::clamp(volumePercent, 0, 100);
  track.repeat = repeat;
  switch (impl_->Prepare(entry)) {
    case Copy::Writing:
      return true;  // plays when written
    case Copy::Ready:
      if (impl_->Start(track)) return true;
      break;
    case Copy::None:
    case Copy::Failed:
      break;
  }
  track = Impl::Track();
  return false;
}

void SoundDesk::Prepare(std::size_t entry) {
  if (entry < impl_->presentation.Entries().size()) impl_->Prepare(entry);
}

void SoundDesk::Stop(Channel channel) {
  impl_->Of(channel) = Impl::Track();
}

void SoundDesk::Pause(Channel channel, bool paused) {
  Impl::Track& track = impl_->Of(channel);
  if (!track.entry || track.paused == paused) return;
  track.paused = paused;
  if (!track.device) return;
  // "play" without "from" goes on where "pause" stopped, on every device.
  if (paused) {
    track.device.Command(L"pause");
  } else {
    track.device.Command(L"play", L"notify", impl_->sink.Get());
  }
}

std::optional<SoundDesk::Position> SoundDesk::Where(Channel channel) const {
  const Impl::Track& track = impl_->tracks[static_cast<std::size_t>(channel)];
  if (!track.entry) return std::nullopt;
  Position position;
  position.paused = track.paused;
  if (track.device) {
    position.played = track.device.Status(L"position").value_or(0);
    position.length = track.device.Status(L"length").value_or(0);
  }
  return position;
}

std::optional<std::uint32_t> SoundDesk::Length(std::size_t entry) {
  if (entry >= impl_->presentation.Entries().size() ||
      KindByName(impl_->presentation.Entries()[entry].name) != Kind::Audio) {
    return std::nullopt;
  }
  if (impl_->Prepare(entry) != Copy::Ready) return std::nullopt;
  const Device device = Device::Open(impl_->PathOf(entry), ++impl_->aliases);
  if (!device) return std::nullopt;
  const auto length = device.Status(L"length");
  if (!length || *length == 0) return std::nullopt;
  return length;
}

}  // namespace turv::player
