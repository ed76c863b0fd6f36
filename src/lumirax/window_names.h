// How the player's window looks to other programs: its class and the ids of
// its controls, for tools that read it (screen readers, the window probe).
#pragma once

namespace turv::player {

inline constexpr char kWindowClass[] = "LumiraxWindow";
// The show: a popup over the whole screen, owned by the window.
inline constexpr char kShowClass[] = "LumiraxShow";
// The presenter's console: a popup owned by the window, on the laptop's monitor.
inline constexpr char kConsoleClass[] = "LumiraxConsole";
inline constexpr int kListId = 101;      // ListBox: the captions, in packed order
inline constexpr int kTextId = 102;      // Edit: a text entry's content
inline constexpr int kInfoId = 103;      // Static: name, caption and size of other entries
inline constexpr int kStatusId = 104;    // Static: "Eigene Dateien: ..."
inline constexpr int kPositionId = 105;  // ProgressBar: an audio entry's ms played of its length
// The console's controls.
inline constexpr int kConsoleSlideId = 201;    // Static: "Folie N von M"
inline constexpr int kConsoleElapsedId = 202;  // Static: "Vergangen: mm:ss"
inline constexpr int kConsoleClockId = 203;    // Static: "Uhrzeit: hh:mm"
inline constexpr int kConsoleNotesId = 204;    // Edit: the current slide's notes (or caption)
inline constexpr int kConsoleNextId = 205;     // Static: the next slide's caption
inline constexpr int kConsolePauseId = 206;    // Button: pause or go on with the time
inline constexpr int kConsoleResetId = 207;    // Button: the time back to 00:00

}  // namespace turv::player
