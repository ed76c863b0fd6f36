// How the player's window looks to other programs: its class and the ids of
// its controls, for tools that read it (screen readers, the window probe).
#pragma once

namespace turv::player {

inline constexpr char kWindowClass[] = "LumiraxWindow";
// The show: a popup over the whole screen, owned by the window.
inline constexpr char kShowClass[] = "LumiraxShow";
inline constexpr int kListId = 101;      // ListBox: the captions, in packed order
inline constexpr int kTextId = 102;      // Edit: a text entry's content
inline constexpr int kInfoId = 103;      // Static: name, caption and size of other entries
inline constexpr int kStatusId = 104;    // Static: "Eigene Dateien: ..."
inline constexpr int kPositionId = 105;  // ProgressBar: an audio entry's ms played of its length

}  // namespace turv::player
