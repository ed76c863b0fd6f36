// The authoring window's texts (portable): the German table and the two
// helpers that fill texts in. An ampersand marks a control's mnemonic. The
// source is UTF-8, and so are the texts.
#include "authoring/texts.h"

#include <array>

#include "format/karu_format.h"

namespace turv::authoring {

namespace {

constexpr std::array<std::string_view, static_cast<std::size_t>(Text::Count)> kGerman = {
    // The window
    "karupack – Präsentation verpacken",
    "&Ordner der Präsentation:",
    "Durchsuc&hen…",
    "&Dateien, in der Reihenfolge des Pakets (Beschriftung ändern: anklicken oder F2):",
    "Beschriftung",
    "Datei",
    "Größe",
    "Hinweis",
    "Symbol:",
    "Symbol &wählen…",
    "Symbol entfe&rnen",
    "(das Symbol von turv)",
    "T&itel:",
    "Beschreib&ung:",
    "&Firma:",
    "&Copyright:",
    "V&ersion:",
    "Player:",
    "&lumirax (mitgeliefert)",
    "ei&genes Programm:",
    "&Programm wählen…",
    "Pa&ket:",
    "Speichern u&nter…",
    "Beschriftungen, Angaben, Symbol, Player und Vorführung speichert karupack beim Verpacken "
    "im Ordner: captions.txt, info.txt, icon.ico und lumirax.exe, die nicht als Dateien "
    "mitverpackt werden, und show.ini.",
    "&Verpacken",
    "&Abbrechen",
    "&Testen",
    "Probelauf",
    "&Schließen",
    // Dialogs
    "Ordner der Präsentation wählen",
    "Symbole (*.ico)",
    "Programme (*.exe)",
    "Pakete (*.exe)",
    "Die Änderungen an „%1“ sind noch nicht gespeichert. Jetzt im "
    "Ordner speichern?",
    "„%1“ gibt es schon, und es ist kein Paket von karupack (%2). Soll das Paket diese Datei "
    "ersetzen?",
    // The state and the outcome
    "Wählen Sie den Ordner mit den Dateien der Präsentation, oder ziehen Sie ihn auf dieses "
    "Fenster.",
    "Auf karupack.exe lässt sich nur ein Ordner ziehen. Wählen Sie ihn hier.",
    "„%1“ ist kein Ordner.",
    "Der Ordner lässt sich nicht lesen: %1",
    "Dateien: %1, zusammen %2 Bytes.",
    "Dateien, die sich so nicht verpacken lassen: %1. Der Hinweis in der Liste sagt, warum.",
    "Der Ordner enthält keine Datei, die sich verpacken lässt.",
    "Der Ordner enthält %1 Dateien; ein Paket fasst höchstens %2.",
    "Wählen Sie zuerst den Ordner der Präsentation.",
    "Wird verpackt …",
    "„%1“ ist fertig. Dateien: %2, zusammen %3 Bytes.",
    "Abgebrochen. Es wurde kein Paket geschrieben.",
    "Nicht verpackt: %1",
    "Die Einstellungen lassen sich nicht im Ordner speichern: %1",
    "Nicht gespeichert, weil karupack es so nicht verpacken würde: %1. Berichtigen Sie es, oder "
    "verwerfen Sie die Änderungen mit „Nein“.",
    "die Beschriftung von „%1“",
    "„%1“ bleibt im Ordner.",
    "Auf dem Laufwerk von „%1“ gibt es keinen Papierkorb. Die Datei endgültig löschen? Mit "
    "„Nein“ bleibt sie im Ordner.",
    "Der Ordner wird gelesen …",
    "Wird abgebrochen …",
    "„%1“ wurde nicht ersetzt.",
    "Das Paket lässt sich nicht starten: %1",
    "Probelauf von „%1“: Führen Sie die Präsentation vor, wie Sie sie halten würden. Am Ende "
    "bietet karupack an, die Zeiten zu übernehmen.",
    "Der Probelauf lässt sich nicht starten: %1",
    "Der Probelauf ist zu Ende: %1 Folien, zusammen %2.\n\nSoll karupack die Zeit, die jede "
    "Folie stand, als ihre Sekunden übernehmen (auf Zehntelsekunden gerundet)? Sekunden, die "
    "diese Folien schon haben, werden ersetzt.",
    "Sekunden aus dem Probelauf übernommen: %1 Folien (in der Liste vermerkt). Gespeichert wird "
    "beim Verpacken.",
    "Die Zeiten des Probelaufs wurden nicht übernommen.",
    "Die Zeiten des Probelaufs lassen sich nicht lesen: %1",
    "Der Probelauf ist zu Ende, ohne dass eine Folie gezeigt wurde.",
    "Der Probelauf gehört zu einem anderen Ordner; seine Zeiten wurden nicht übernommen.",
    "Sekunden aus dem Probelauf.",
    "Interner Fehler: %1",
    // A file's note
    "Der Name enthält „%1“, das es in Windows-1252 nicht gibt.",
    "Der Name ist kein lesbarer Text.",
    "Der Name ist leer.",
    "Der Name ist zu lang: %1 Zeichen, höchstens 32.",
    "„.“ und „..“ sind keine Dateinamen.",
    "Der Name enthält ein Steuerzeichen.",
    "Der Name enthält „%1“, das Windows in Dateinamen verbietet.",
    "Der Name endet mit einem Punkt, den Windows weglässt.",
    "Der Name endet mit einem Leerzeichen, das Windows weglässt.",
    "„%1“ ist unter Windows ein Gerätename.",
    "Gleicher Name wie „%1“ bis auf Groß- und Kleinschreibung.",
    "Eine Verknüpfung (auf %1); Verknüpfungen werden nicht verpackt.",
    "Ein Ordner; wird übersprungen.",
    "Keine gewöhnliche Datei; wird übersprungen.",
    "Die Beschriftung ist zu lang: %1 Zeichen, höchstens 184.",
    "Die Beschriftung enthält „%1“, das es in Windows-1252 nicht gibt.",
    "Die Beschriftung enthält einen Tabulator oder ein Steuerzeichen.",
    "Ein Name, der mit „#“ beginnt, lässt sich in captions.txt nicht beschriften.",
    // The settings files
    "captions.txt lässt sich nicht lesen (%1). Berichtigen Sie die Datei, bevor Sie "
    "Beschriftungen ändern.",
    "captions.txt, Zeile %1: „%2“ liegt nicht im Ordner; die Zeile entfällt beim Speichern.",
    "captions.txt, Zeile %1: eine zweite Beschriftung für „%2“; sie entfällt beim Speichern.",
    "%1, Zeile %2: %3; die Zeile entfällt beim Speichern.",
    "… und %1 weitere Hinweise zu %2.",
    "info.txt lässt sich nicht lesen (%1). Berichtigen Sie die Datei, bevor Sie die "
    "Angaben ändern.",
    "%1 ist zu lang: %2 Zeichen, höchstens 256.",
    "%1 enthält einen Tabulator oder ein Steuerzeichen.",
    "%1 lässt sich so nicht speichern (%2).",
    "Dieses Symbol lässt sich nicht verwenden: %1",
    "Der Player lässt sich nicht lesen: %1",
    // The show
    "Vorführung",
    "Sekunden &je Folie (0: von Hand weiter):",
    "S&chleife (nach der letzten Folie von vorn)",
    "Gleich als Vorf&ührung öffnen",
    "Kiosk (nur Alt+F4 &beendet die Vorführung)",
    "&Musik:",
    "Überblen&dung in ms:",
    "(keine)",
    "Sekunden",
    "Ton",
    "Se&kunden (leer: je Folie):",
    "Ton (Erz&ählung):",
    "Passende T&öne für alle",
    "Noti&zen für den Vortrag:",
    "Musik",
    "Ton zu „%1“",
    "show.ini lässt sich nicht lesen (%1). Berichtigen Sie die Datei, bevor Sie die "
    "Vorführung einstellen.",
    "show.ini, Zeile %1: %2",
    "show.ini, Zeile %1 („%2“): %3 Beim Speichern bleibt die Zeile als Kommentar stehen.",
    "Töne nach dem Namen zugeordnet: %1.",
    "Die Zeile ist kein UTF-8-Text.",
    "„%1“ lässt sich in Windows-1252 nicht schreiben.",
    "Die Zeile ist weder [Abschnitt] noch Schlüssel=Wert.",
    "„%1“ steht vor dem ersten Abschnitt.",
    "„%1“ ist kein bekannter Schlüssel.",
    "„%1“ ist keine Zahl.",
    "„%1“ liegt außerhalb des Erlaubten.",
    "„%1“: erwartet wird yes oder no.",
    "„%1“: erwartet wird show oder list.",
    "Der Abschnitt „%1“ steht zum zweiten Mal da.",
    "„%1“ liegt nicht im Ordner.",
    "„%1“ ist keine Tondatei.",
    "show.ini, Zeile %1 („%2“) nimmt der Packer nicht an; sie steht jetzt als Kommentar in "
    "der Datei.",
};

}  // namespace

std::string Say(Text text, std::initializer_list<std::string_view> arguments) {
  const std::string_view pattern = kGerman[static_cast<std::size_t>(text)];
  std::string said;
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    const char c = pattern[at];
    if (c == '%' && at + 1 < pattern.size() && pattern[at + 1] >= '1' && pattern[at + 1] <= '9') {
      const auto index = static_cast<std::size_t>(pattern[++at] - '1');
      // Names, targets and messages come from outside: shown escaped, as
      // printed, so that none can hide or turn the text around it.
      if (index < arguments.size()) said += format::Printable(*(arguments.begin() + index));
      continue;
    }
    said += c;
  }
  return said;
}

std::string Digits(std::uint64_t number) {
  std::string plain = std::to_string(number);
  std::string grouped;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (i > 0 && (plain.size() - i) % 3 == 0) grouped += '.';
    grouped += plain[i];
  }
  return grouped;
}

}  // namespace turv::authoring
