#include <string>

#include "setup/ControlIds.h"
#include "setup/FirstScreen.h"
#include "setup/SetupController.h"
#include "tests/unit/SetupFixture.h"

namespace {

class ControllerTest : public SetupTest {
protected:
    ControllerTest() : controller(view) {
        PutMedium();
        sys.AddDrive('D', SYS_DRIVE_FIXED, 1ull << 31);
    }
    // Clicks, as the dialog's message map delivers them.
    void Click(int id) {
        switch (id) {
        case IDC_INSTALL: controller.OnInstall(); break;
        case IDC_IDE: controller.OnIde(); break;
        case IDC_SCSI: controller.OnScsi(); break;
        case IDC_NEXT: controller.OnNext(); break;
        case IDC_UNINSTALL: controller.OnUninstall(); break;
        }
    }
    SetupController controller;
};

TEST_F(ControllerTest, InstallTurnsTheFirstScreenIntoTheInterfaceChoice) {
    PrepareFirstScreen(view);
    Click(IDC_INSTALL);
    EXPECT_EQ(std::vector<int>({IDC_EXIT, IDC_IDE, IDC_SCSI, IDC_PROMPT}), view.VisibleIds());
    EXPECT_EQ("Please select your HDD interface :", view.text[IDC_PROMPT]);
    EXPECT_EQ(0, HddInterface);
}

TEST_F(ControllerTest, TheLastInterfaceClickedIsTheOneInstalled) {
    const struct {
        std::vector<int> clicks;
        int hdd;
    } cases[] = {
        {{IDC_IDE}, 1}, {{IDC_SCSI}, 2}, {{IDC_IDE, IDC_SCSI}, 2}, {{IDC_SCSI, IDC_IDE}, 1}, {{IDC_IDE, IDC_IDE}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hdd);
        view = RecordingView();
        HddInterface = 0;
        PrepareFirstScreen(view);
        Click(IDC_INSTALL);
        for (int id : c.clicks) Click(id);
        EXPECT_EQ(c.hdd, HddInterface);
        EXPECT_EQ(std::vector<int>({IDC_EXIT, IDC_IDE, IDC_SCSI, IDC_NEXT}), view.VisibleIds());
    }
}

TEST_F(ControllerTest, InstallIdeScsiNextInstallsForScsi) {
    PrepareFirstScreen(view);
    for (int id : {IDC_INSTALL, IDC_IDE, IDC_SCSI, IDC_NEXT}) Click(id);
    EXPECT_TRUE(sys.FileExists("c:\\kmdrv\\kmscsi.dat")) << MACHINE;
    EXPECT_FALSE(sys.FileExists("c:\\kmdrv\\kmide.dat"));
    EXPECT_EQ(std::vector<int>({IDC_EXIT, IDC_PROGRESS, IDC_NEXT}), view.VisibleIds());
    EXPECT_EQ(10, view.position);
    EXPECT_EQ(1u, sys.restartRequests.size());
    EXPECT_EQ(-1, view.endResult);
}

TEST_F(ControllerTest, NextAgainAfterACompletedInstallRunsItOnceMore) {
    PrepareFirstScreen(view);
    for (int id : {IDC_INSTALL, IDC_IDE, IDC_NEXT, IDC_NEXT}) Click(id);
    EXPECT_EQ(2u, view.messages.size());
    EXPECT_EQ(2u, sys.restartRequests.size());
}

TEST_F(ControllerTest, AfterAFailedInstallNextNeverSucceeds) {
    sys.SetFileAttributesA("E:\\Peek_B.exe", SYS_FILE_ATTRIBUTE_NORMAL);
    sys.remove("E:\\Peek_B.exe");
    PrepareFirstScreen(view);
    for (int id : {IDC_INSTALL, IDC_SCSI, IDC_NEXT}) Click(id);
    ASSERT_EQ(1u, view.messages.size());
    EXPECT_EQ("Soure File One not found", view.messages[0].text);
    sys.WriteFile("E:\\Peek_B.exe", "back");
    Click(IDC_NEXT);
    EXPECT_EQ(1u, view.messages.size()) << "no message at all the second time";
    EXPECT_EQ(10, view.position);
    EXPECT_FALSE(sys.HasKey("SYSTEM\\Veltrano Card"));
    EXPECT_TRUE(sys.restartRequests.empty());
    EXPECT_EQ(std::vector<int>({IDC_EXIT, IDC_PROGRESS, IDC_NEXT}), view.VisibleIds());
}

TEST_F(ControllerTest, UninstallEndsTheProgramOrLeavesTheScreenAsItWas) {
    sys.CreateKey("SYSTEM\\Veltrano Card");
    PrepareFirstScreen(view);
    Click(IDC_UNINSTALL);
    EXPECT_EQ(1002, view.endResult);

    FakeSystem server;
    UseSystemServices(&server);
    server.UseNtFamily();
    server.SetVersion(SYS_VER_PLATFORM_WIN32_NT, 5, 1, "", SYS_VER_NT_SERVER, 0);
    server.CreateKey("SYSTEM\\Veltrano Card");
    RecordingView v;
    SetupController onServer(v);
    ErrorFlag = 0;
    PrepareFirstScreen(v);
    const std::vector<int> firstScreen = v.VisibleIds();
    onServer.OnUninstall();
    onServer.OnUninstall();
    ASSERT_EQ(2u, v.messages.size());
    EXPECT_EQ("The Version not support Windows XP Server", v.messages[1].text);
    EXPECT_EQ(firstScreen, v.VisibleIds());
    EXPECT_EQ(-1, v.endResult);
    EXPECT_TRUE(server.HasKey("SYSTEM\\Veltrano Card"));
    UseSystemServices(&sys);
}

}  // namespace
