// Every German text of the player, in one table: what the user reads in the
// window, the show and the message boxes. UTF-16 literals, so no code page
// stands between the source and the screen. Texts that take a value end
// where the value is appended.
#pragma once

#include <string_view>

namespace turv::player::text {

using T = std::u16string_view;

// The status line.
inline constexpr T kStartFolder = u"Eigene Dateien: ";
inline constexpr T kStartFolderEmpty = u"unbekannt (norvi.stq nennt keinen Ordner)";
inline constexpr T kStartFileMissing = u"unbekannt (norvi.stq fehlt)";
inline constexpr T kStartFileDamagedShort = u"unbekannt (norvi.stq ist beschädigt)";
inline constexpr T kStartFileDamaged = u"Die Datei norvi.stq ist beschädigt.";
// The show's settings, after the start folder; the show then runs by hand.
inline constexpr T kShowSettingsLine = u"show.ini ist fehlerhaft (Zeile ";
inline constexpr T kShowSettingsLineEnd = u"), die Präsentation läuft von Hand.";
inline constexpr T kShowSettingsDamaged =
    u"show.ini ist beschädigt, die Präsentation läuft von Hand.";
inline constexpr T kShowSettingsUnreadable =
    u"show.ini kann nicht gelesen werden, die Präsentation läuft von Hand.";
inline constexpr T kStatusSeparator = u"  –  ";

// The data file.
inline constexpr T kDataProblem =
    u"Die Präsentationsdaten (karu.pqd) fehlen oder sind beschädigt: ";
inline constexpr T kDataEmpty = u"Die Datei ist leer.";
inline constexpr T kDataTooShort = u"Die Datei ist zu kurz: ";
inline constexpr T kDataTooShortNeeds = u", schon das Verzeichnis braucht ";
inline constexpr T kDataNoEntries = u"Die Präsentationsdaten (karu.pqd) enthalten keine Einträge.";
inline constexpr T kDataMissingIn = u"Die Datei fehlt im Ordner ";
inline constexpr T kDataCannotOpen = u"Die Datei kann nicht geöffnet werden: ";
inline constexpr T kDataCannotRead =
    u"Die Präsentationsdaten (karu.pqd) können nicht gelesen werden: ";
inline constexpr T kDataEndsEarly = u"Die Präsentationsdaten (karu.pqd) enden vorzeitig.";
inline constexpr T kDataReplaced =
    u"Die Präsentationsdaten (karu.pqd) wurden inzwischen ersetzt, wohl durch den Start einer "
    u"weiteren Präsentation. Bitte schließen Sie lumirax und starten Sie die Präsentation neu.";
inline constexpr T kEntry = u"Eintrag ";
inline constexpr T kDamageCutShort = u"Das Verzeichnis ist unvollständig.";
inline constexpr T kDamageUsedAfterUnused = u"Er steht hinter den leeren Einträgen.";
inline constexpr T kDamageEmptyName = u"Sein Name ist leer.";
inline constexpr T kDamageNameTooLong = u"Sein Name ist länger als erlaubt.";
inline constexpr T kDamageCaptionTooLong = u"Seine Beschriftung ist länger als erlaubt.";
inline constexpr T kDamageNegativeSize = u"Seine Größe ist negativ.";
inline constexpr T kDamageMisplaced = u"Sein Inhalt liegt nicht an seinem Platz.";
inline constexpr T kDamagePastEnd = u"Sein Inhalt reicht über das Ende der Datei hinaus.";
inline constexpr T kDamageOther = u"Das Verzeichnis ist fehlerhaft.";

// An entry's view.
inline constexpr T kFile = u"Datei: ";
inline constexpr T kCaption = u"Beschriftung: ";
inline constexpr T kSize = u"Größe: ";
inline constexpr T kOpenHint =
    u"Die Eingabetaste oder ein Doppelklick öffnet die Datei mit dem Programm, das Windows ihr "
    u"zuordnet.";
inline constexpr T kShowOpenHint = u"Die Eingabetaste öffnet die Datei mit ihrem Programm.";
inline constexpr T kNotPlainText = u"Die Datei enthält keinen reinen Text.";
inline constexpr T kTextCut = u"[Gekürzt: Angezeigt sind die ersten 4 MiB von ";
inline constexpr T kTextCutEnd = u". Die Eingabetaste öffnet die ganze Datei.]";
inline constexpr T kBytes = u" Bytes";

// Sounds in the browsing view.
inline constexpr T kAudioHint =
    u"Die Leertaste hält den Klang an und setzt ihn fort; die Eingabetaste öffnet die Datei mit "
    u"ihrem Programm.";
inline constexpr T kAudioCannotPlay =
    u"Windows kann diesen Klang hier nicht abspielen (kein Audiogerät, keine Medienkomponenten "
    u"oder eine beschädigte Datei).";
inline constexpr T kAudioPaused = u"Angehalten";

// Pictures: one line in the view, the entry still opens with its program.
inline constexpr T kPictureFileTooLarge =
    u"Das Bild ist größer als 64 MiB und wird hier nicht angezeigt.";
inline constexpr T kPictureTooLarge =
    u"Das Bild ist zu groß, um angezeigt zu werden (mehr als 40 Millionen Bildpunkte).";
inline constexpr T kPictureDamaged =
    u"Das Bild ist beschädigt oder in einem Format, das Windows nicht lesen kann.";
inline constexpr T kPictureNoDecoder =
    u"Windows kann hier keine Bilder anzeigen (Windows Imaging Component fehlt).";
inline constexpr T kPictureNoMemory = u"Für dieses Bild reicht der Arbeitsspeicher nicht.";

// Windows and files.
inline constexpr T kNoWindow = u"Das Fenster kann nicht angelegt werden: ";
inline constexpr T kFolder = u"Der Ordner ";
inline constexpr T kFolderNotMade = u" kann nicht angelegt werden: ";
inline constexpr T kTheFile = u"Die Datei ";
inline constexpr T kCannotRead = u" kann nicht gelesen werden: ";
inline constexpr T kTooLarge = u" ist zu groß.";
inline constexpr T kCannotWrite = u" kann nicht geschrieben werden: ";
inline constexpr T kNoProgramFor = u"Windows kennt kein Programm für ";
inline constexpr T kFileLiesIn = u". Die Datei liegt in ";
inline constexpr T kCannotOpen = u" kann nicht geöffnet werden (Fehler ";
inline constexpr T kCopying = u" wird kopiert: ";
inline constexpr T kStillCopying =
    u" wird noch kopiert. Bitte warten Sie, bis die Kopie fertig ist.";
inline constexpr T kOpenedCopy = u"Geöffnet: ";
inline constexpr T kOpenedExisting = u"Geöffnet: die vorhandene, unveränderte Kopie ";
inline constexpr T kOpenedSecond =
    u"Die erste Kopie ist noch in einem Programm geöffnet. Geöffnet: eine zweite Kopie ";
inline constexpr T kError = u"Fehler ";
inline constexpr T kNoMemory = u"Zu wenig Arbeitsspeicher.";
inline constexpr T kInternal = u"Interner Fehler: ";
inline constexpr T kInternalShort = u"Interner Fehler.";
inline constexpr T kOpenQuote = u"„";
inline constexpr T kCloseQuote = u"“";

// The presenter's console and the show's help.
inline constexpr T kConsoleTitle = u"Referentenansicht";
inline constexpr T kConsoleSlide = u"Folie ";
inline constexpr T kConsoleOf = u" von ";
inline constexpr T kConsoleBlack = u" – Bildschirm schwarz";
inline constexpr T kConsoleWhite = u" – Bildschirm weiß";
inline constexpr T kConsoleOverview = u" – Übersicht";
inline constexpr T kConsoleNext = u"Als Nächstes: ";
inline constexpr T kConsoleLast = u"Als Nächstes: Ende der Präsentation";
inline constexpr T kConsoleElapsed = u"Vergangen: ";
inline constexpr T kConsolePaused = u" (angehalten)";
inline constexpr T kConsoleClock = u"Uhrzeit: ";
inline constexpr T kConsolePause = u"&Anhalten (T)";
inline constexpr T kConsoleGoOn = u"&Weiter (T)";
inline constexpr T kConsoleReset = u"&Zurücksetzen (Z)";
inline constexpr T kShowHelp =
    u"Tasten in der Präsentation\n\n"
    u"Weiter:\tRechts, Unten, Bild ab, Leertaste, Klick\n"
    u"Zurück:\tLinks, Oben, Bild auf, Rücktaste\n"
    u"Erste / letzte Folie:\tPos1 / Ende\n"
    u"Folie Nummer N:\tN, dann Eingabetaste\n"
    u"Schwarz / weiß:\tB oder Punkt / W oder Komma (noch einmal: zurück)\n"
    u"Übersicht:\tTab; Pfeile wählen, Eingabetaste zeigt, Tab oder Esc zurück\n"
    u"Bildschirme tauschen:\tS\n"
    u"Zeit anhalten / zurücksetzen:\tT / Z\n"
    u"Notizen größer / kleiner:\tStrg+Plus / Strg+Minus\n";
// The help's last lines: how the show ends, in a kiosk too.
inline constexpr T kShowHelpEnd =
    u"Ende:\tEsc\n\n"
    u"Eine beliebige Taste schließt diese Hilfe.";
inline constexpr T kShowHelpEndKiosk =
    u"Ende:\tAlt+F4 beendet den Player\n\n"
    u"Eine beliebige Taste schließt diese Hilfe.";

}  // namespace turv::player::text
