// The texts users read: I/O errors, the error report's "." rule, the
// application title, all byte for byte in Windows-1252.
#include <gtest/gtest.h>

#include <new>

#include "core/errors.h"
#include "core/texts.h"
#include "platform/app_texts.h"

namespace turv {
namespace {

TEST(ErrorTexts, IoErrorsByCode) {
  EXPECT_EQ(IoErrorText(2), "Datei nicht gefunden");
  EXPECT_EQ(IoErrorText(3), "Ung\xFCltiger Dateiname");
  EXPECT_EQ(IoErrorText(4),
            "Zu viele ge\xF6"
            "ffnete Dateien");
  EXPECT_EQ(IoErrorText(5), "Dateizugriff verweigert");
  EXPECT_EQ(IoErrorText(100), "Versuch hinter dem Dateiende zu lesen");
  EXPECT_EQ(IoErrorText(101), "Zu wenig Speicherplatz");
  EXPECT_EQ(IoErrorText(106), "Ung\xFCltige numerische Eingabe");
  EXPECT_EQ(IoErrorText(103), "E/A-Fehler 103");
  EXPECT_EQ(IoErrorText(32), "E/A-Fehler 32");
  EXPECT_EQ(IoErrorText(0), "E/A-Fehler 0");
  EXPECT_EQ(IoError(112).Code(), 112u);
  EXPECT_STREQ(IoError(112).what(), "E/A-Fehler 112");
}

TEST(ErrorTexts, UmlautsAreSingleWindows1252Bytes) {
  const std::string notExecutable(texts::kNotExecutable);
  EXPECT_EQ(notExecutable.size(), 24u);
  EXPECT_EQ(static_cast<unsigned char>(notExecutable[16]), 252);  // ü
  EXPECT_EQ(notExecutable.substr(17), "hrbar !");
  const std::string tooMany(texts::kTooManyOpenFiles);
  EXPECT_EQ(static_cast<unsigned char>(tooMany[11]), 246);  // ö
  EXPECT_EQ(tooMany.substr(12), "ffnete Dateien");
  EXPECT_EQ(static_cast<unsigned char>(texts::kInvalidFileName[3]), 252);
  EXPECT_EQ(texts::kDataStoreError, " DataStore-Error 1");
}

TEST(ErrorTexts, CannotCreateCutsTheSystemTextsTrailingPeriodsAndBlanks) {
  EXPECT_EQ(CannotCreateText("C:\\A\\norvi.stq", "Zugriff verweigert.\r\n"),
            "Datei \"C:\\A\\norvi.stq\" kann nicht erstellt werden. Zugriff verweigert");
  EXPECT_EQ(CannotCreateText("X", "Etwas . . .  \r\n\t"),
            "Datei \"X\" kann nicht erstellt werden. Etwas");
  EXPECT_EQ(CannotCreateText("X", ""), "Datei \"X\" kann nicht erstellt werden. ");
}

TEST(ErrorReport, AppendsAPeriodOnlyAfterCharactersAboveIt) {
  using platform::ErrorReportText;
  EXPECT_EQ(ErrorReportText(""), "");
  EXPECT_EQ(ErrorReportText("E/A-Fehler 103"), "E/A-Fehler 103.");
  EXPECT_EQ(ErrorReportText("Fertig."), "Fertig.");
  EXPECT_EQ(ErrorReportText("Achtung!"), "Achtung!");       // 33
  EXPECT_EQ(ErrorReportText("Pfad-"), "Pfad-");             // 45
  EXPECT_EQ(ErrorReportText("Pfad/"), "Pfad/.");            // 47
  EXPECT_EQ(ErrorReportText("werden. "), "werden. ");       // a blank stays last
  EXPECT_EQ(ErrorReportText("Gr\xFC\xDF"), "Gr\xFC\xDF.");  // 223 sorts above
}

TEST(ErrorReport, MessagesOfErrors) {
  using platform::MessageOf;
  EXPECT_EQ(MessageOf(std::make_exception_ptr(IoError(5))), "Dateizugriff verweigert");
  EXPECT_EQ(MessageOf(std::make_exception_ptr(std::bad_alloc())), "Zu wenig Arbeitsspeicher");
  EXPECT_EQ(MessageOf(std::make_exception_ptr(42)), "Unbekannter Fehler");
}

TEST(ApplicationTitle, FileNameCutAtTheFirstPeriodWithTheRestLowered) {
  using platform::ApplicationTitle;
  EXPECT_EQ(ApplicationTitle("D:\\Kurse\\MEINKURS.Teil2.exe"), "Meinkurs");
  EXPECT_EQ(ApplicationTitle("C:\\x\\kurs.exe"), "kurs");
  EXPECT_EQ(ApplicationTitle("C:\\x.y\\SETUP"), "Setup");
  EXPECT_EQ(ApplicationTitle("\xC4RGER\xC4.EXE"), "\xC4rger\xE4");  // ÄRGERÄ -> Ärgerä
  EXPECT_EQ(ApplicationTitle("C:\\x\\.hidden.exe"), "");
  EXPECT_EQ(ApplicationTitle("A\xD7"
                             "B.exe"),
            "A\xD7"
            "b");  // × has no lower case
}

}  // namespace
}  // namespace turv
