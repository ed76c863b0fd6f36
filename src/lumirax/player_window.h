// The player's browsing window: captions on the left, the selected entry on
// the right, the start folder in a status line at the bottom; F5 starts the
// show over it, and a package whose settings say so opens into the show.
#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lumirax/audio_view.h"
#include "lumirax/entry_opener.h"
#include "lumirax/player_model.h"
#include "lumirax/rehearsal.h"
#include "lumirax/show_clock.h"
#include "lumirax/show_window.h"
#include "lumirax/slide_worker.h"
#include "lumirax/sound_desk.h"
#include "win32/handles.h"
#include "win32/window_owner.h"

namespace turv::player {

// The one place where an error becomes the user's message: a message box
// owned by owner (none before the window exists).
void ReportError(HWND owner, const std::exception_ptr& error) noexcept;

class PlayerWindow : private ShowHost {
 public:
  PlayerWindow(HINSTANCE instance, const Presentation& presentation, std::u16string workFolder,
               const std::u16string& statusLine);
  PlayerWindow(const PlayerWindow&) = delete;
  PlayerWindow& operator=(const PlayerWindow&) = delete;
  ~PlayerWindow();

  // Shows the window maximised and runs until it is closed; the exit code.
  int Run();

 private:
  friend struct win32::OwnerProcedure<PlayerWindow>;
  static void Report(HWND window, const std::exception_ptr& error) noexcept;
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // Keys that work wherever the focus is: Down and Up change the entry,
  // F5 and Shift+F5 start the show. True when the key was taken.
  bool TakeKey(const MSG& message);
  bool BrowsingKey(WPARAM key);
  void CreateControls(const std::u16string& statusLine);
  void Layout();
  void Select(int index);
  void ShowSelected();
  void Paint();
  int Scaled(int pixels) const;
  SlideRequest BrowsingRequest(std::size_t index) const;
  // Tells the worker what the browsing view or the show wants now and
  // forgets decoded slides that nobody wants any more.
  void WantNow();
  void SlidesArrived();
  void StartShow(std::size_t from);  // from the slide showing that entry, or the next
  void Rehearse();                   // P: the console alone in the window
  void EndShow(std::size_t at);
  // A rehearsal's end: the times go to its file (once).
  void FinishRehearsal();
  // An entry's copy is there: says how, and hands it to its program.
  void CopyFinished();
  void SetStatus(const std::u16string& line);

  // ShowHost
  const Slide* Decoded(const SlideRequest& request) const override;
  void ShowMoved() override;
  void OpenEntry(std::size_t index) override;
  SoundDesk* Sounds() override { return sound_.get(); }

  HINSTANCE instance_;
  const Presentation& presentation_;
  std::u16string workFolder_;
  HWND window_ = nullptr;  // destroyed by the user's close, or by the destructor
  HWND list_ = nullptr;
  HWND text_ = nullptr;
  HWND info_ = nullptr;
  HWND status_ = nullptr;
  win32::GdiObject listFont_;
  win32::GdiObject textFont_;
  win32::GdiObject statusFont_;
  int dpi_ = 96;
  int statusHeight_ = 0;
  bool running_ = false;  // the message loop runs: closing the window ends it
  RECT viewArea_{};       // the right side, where the entry is shown
  std::size_t selected_ = 0;
  View view_;
  std::u16string showProblem_;  // why the show runs by hand after all
  ShowPlan plan_;               // the show's slides, times and sounds (set after the above)
  std::vector<bool> pictures_;  // per entry: a picture the worker decodes
  std::vector<Slide> slides_;   // decoded, and still wanted
  std::unique_ptr<SlideWorker> worker_;
  std::unique_ptr<EntryOpener> opener_;
  std::u16string startLine_;  // the status line between openings
  std::unique_ptr<ShowWindow> show_;
  std::unique_ptr<SoundDesk> sound_;
  std::unique_ptr<AudioView> audio_;  // the selected audio entry, played
  std::u16string lastShowMonitor_;
  std::vector<std::u16string> notes_;  // the presenter's notes per entry
  // Started as a rehearsal (format::kRehearsalVariable): its times and file.
  std::optional<Rehearsal> rehearsal_;
  std::u16string rehearsalFile_;
};

}  // namespace turv::player
