#include "setup/ControlIds.h"
#include "setup/DialogGeometry.h"
#include "setup/FirstScreen.h"
#include "tests/unit/SetupFixture.h"

namespace {

class FirstScreenTest : public SetupTest {};

TEST_F(FirstScreenTest, WithoutTheMarkerOnlyInstallIsOffered) {
    PrepareFirstScreen(view);
    const std::vector<int> shown = {IDC_EXIT, IDC_INSTALL, IDC_LABEL, IDC_VERSION};
    EXPECT_EQ(shown, view.VisibleIds());
    EXPECT_EQ("Windows Version :", view.text[IDC_LABEL]);
    EXPECT_EQ("Microsoft  Windows  98 SE", view.text[IDC_VERSION]);
    EXPECT_EQ(0, view.rangeLower);
    EXPECT_EQ(10, view.rangeUpper);
    EXPECT_EQ(0, view.position);
    EXPECT_EQ(7u, WindowsKind);
}

TEST_F(FirstScreenTest, WithTheMarkerOnlyUninstallIsOffered) {
    sys.CreateKey("SYSTEM\\Veltrano Card");
    PrepareFirstScreen(view);
    const std::vector<int> shown = {IDC_EXIT, IDC_UNINSTALL, IDC_LABEL, IDC_VERSION};
    EXPECT_EQ(shown, view.VisibleIds());
    EXPECT_EQ(0u, sys.OpenKeyCount());
}

TEST_F(FirstScreenTest, StepsRunInOrderAndTheMarkerIsProbedBeforeTheVersion) {
    PrepareFirstScreen(view);
    const std::vector<std::string> expected = {
        "hide 1004", "hide 1005", "hide 1008", "hide 1006", "hide 1012", "hide 1002",
        "text 1010 Windows Version :", "text 1011 Microsoft  Windows  98 SE", "range 0 10", "pos 0"};
    EXPECT_EQ(expected, view.log);
    ASSERT_FALSE(sys.calls.empty());
    EXPECT_EQ("RegOpenKeyA HKLM\\system\\Veltrano Card", sys.calls[0]);
}

TEST_F(FirstScreenTest, Windows98WithMillenniumTextIsMillenniumBeforeAnyClick) {
    sys.SetVersion(SYS_VER_PLATFORM_WIN32_WINDOWS, 4, 10, "");
    sys.SetString("Software\\Microsoft\\Windows\\CurrentVersion", "Version", "WINDOWS Millennium edition");
    PrepareFirstScreen(view);
    EXPECT_EQ("Windows Millennium Edition", view.text[IDC_VERSION]);
    EXPECT_EQ(3u, WindowsKind);
}

TEST(DialogGeometryTest, MinimizedIconIsCentredWithTruncatingDivision) {
    const struct {
        int client, icon, offset;
    } cases[] = {{100, 32, 34}, {31, 32, 0}, {28, 32, -1}, {32, 32, 0}, {0, 32, -15}, {33, 32, 1}};
    for (const auto& c : cases) EXPECT_EQ(c.offset, CenteredIconOffset(c.client, c.icon)) << c.client;
}

}  // namespace
