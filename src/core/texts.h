// The launcher's fixed texts, byte for byte in Windows-1252 (the system's
// ANSI calls take them as they are).
#pragma once

#include <string_view>

namespace turv::texts {

inline constexpr std::string_view kInternalError = "Abbruch: Interner Fehler (1)";
inline constexpr std::string_view kExternalError = "Abbruch: Externer Fehler (1)";
// A program file the build never sealed: it cannot tell where its data begins.
inline constexpr std::string_view kUnsealedError = "Abbruch: Interner Fehler (2)";
inline constexpr std::string_view kDataStoreError = " DataStore-Error 1";
inline constexpr std::string_view kNotExecutable =
    "Datei nicht ausf\xFC"
    "hrbar !";
inline constexpr std::string_view kNotRegistered = "Datei nicht registriert !";
inline constexpr std::string_view kProblem = "Problem";

// I/O errors by system error code; any other code: "E/A-Fehler <code>".
inline constexpr std::string_view kFileNotFound = "Datei nicht gefunden";
inline constexpr std::string_view kInvalidFileName =
    "Ung\xFC"
    "ltiger Dateiname";
inline constexpr std::string_view kTooManyOpenFiles =
    "Zu viele ge\xF6"
    "ffnete Dateien";
inline constexpr std::string_view kFileAccessDenied = "Dateizugriff verweigert";
inline constexpr std::string_view kReadBeyondEnd = "Versuch hinter dem Dateiende zu lesen";
inline constexpr std::string_view kDiskFull = "Zu wenig Speicherplatz";
inline constexpr std::string_view kInvalidNumber =
    "Ung\xFC"
    "ltige numerische Eingabe";
inline constexpr std::string_view kIoErrorPrefix = "E/A-Fehler ";

// File-stream errors.
inline constexpr std::string_view kCannotCreateBefore = "Datei \"";
inline constexpr std::string_view kCannotCreateAfter = "\" kann nicht erstellt werden. ";
inline constexpr std::string_view kStreamWriteError = "Stream-Schreibfehler";

}  // namespace turv::texts
