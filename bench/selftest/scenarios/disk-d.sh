# The kinds of drive D: the bench makes, as the program sees them
# (GetDriveTypeA and the free space, recorded by the stand-in's install).
install_once() {
    marker absent
    drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
message "Warning" "Install OK !! System will be restart ......." question
exits
SCRIPT
}
vnt='HKLM\SYSTEM\CurrentControlSet\Services\VNT'
windows win2k

# The template's D: is a fixed disk, DRIVE_FIXED (3); the medium E: a
# CD-ROM, DRIVE_CDROM (5).
install_once
expect_reg "$vnt" DriveTypeD REG_DWORD 3
expect_reg "$vnt" DriveTypeE REG_DWORD 5

disk_d cdrom
install_once
expect_reg "$vnt" DriveTypeD REG_DWORD 5

disk_d none
install_once
expect_reg "$vnt" DriveTypeD REG_DWORD 1

disk_d fixed --free-mb 200
install_once
expect_reg "$vnt" DriveTypeD REG_DWORD 3
expect_reg "$vnt" FreeMbD REG_DWORD 200
