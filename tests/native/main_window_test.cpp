// The main window's design and its fit to the screen.
#include "launch_fixture.h"

namespace turv::testing {
namespace {

class MainWindowTest : public LaunchTest {
 protected:
  int FittedFontSize(int width, int height, int ppi) {
    SetUp();
    W().screenWidth = width;
    W().screenHeight = height;
    W().pixelsPerInch = ppi;
    TForm5 form;  // 14 points: 18 pixels at 96 pixels per inch
    FitToScreen(form);
    EXPECT_EQ(form.State(), platform::WindowState::Maximized);
    return form.FontSize();
  }
};

TEST_F(MainWindowTest, FitScalesOnlyTheFontPointSize) {
  EXPECT_EQ(FittedFontSize(1024, 768, 96), 14);
  EXPECT_EQ(FittedFontSize(1920, 1080, 96), 20);   // 14 * 1080 / 768 = 19.69
  EXPECT_EQ(FittedFontSize(1280, 1024, 96), 18);   // 14 * 1280 / 1024 = 17.5, half away from zero
  EXPECT_EQ(FittedFontSize(1024, 768, 120), 11);   // 14 * 96 / 120 = 11.2
  EXPECT_EQ(FittedFontSize(1920, 1080, 144), 13);  // 20, then 20 * 96 / 144 = 13.3
  EXPECT_EQ(FittedFontSize(800, 600, 96), 11);     // 14 * 800 / 1024 = 10.9
}

TEST_F(MainWindowTest, DesignAndCreationLook) {
  const auto& design = Form5Design();
  EXPECT_EQ(design.caption, "TURVALO");
  EXPECT_EQ(design.width, 358);
  EXPECT_EQ(design.height, 191);
  EXPECT_TRUE(design.centreOnDesktop);
  EXPECT_EQ(design.fontName, "MS Sans Serif");
  EXPECT_EQ(design.fontHeight, -18);

  MakePackage({});
  platform::Application application;
  TForm5 form;
  application.CreateForm(form);
  EXPECT_EQ(form.Color(), (platform::Rgb{100, 120, 140}));
  EXPECT_EQ(form.State(), platform::WindowState::Maximized);
  EXPECT_EQ(application.Title(), "Kurs");
}

}  // namespace
}  // namespace turv::testing
