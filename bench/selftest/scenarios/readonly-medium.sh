# A read-only medium: the source reads as FILE_ATTRIBUTE_READONLY and the
# copies keep it, so the uninstall cannot delete them.
windows nt40
marker absent
medium --readonly

drive <<'SCRIPT'
start E:\Setup.exe E:\
text 1011 "2  4.0  1 0x0"
click 1001
click 1004
click 1008
message "Warning" "Install OK !! System will be restart ......." question
exits
SCRIPT

expect_restart yes
expect_reg 'HKLM\SYSTEM\CurrentControlSet\Services\VNT' SourceAttributes REG_DWORD 0x21

drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1002
message "Warning" "Uninstall OK !! System will be restart ......." question
exits
SCRIPT

expect_restart yes
expect_no_reg_key 'HKLM\system\Veltrano Card'
expect_file 'c:\kmdrv\QSPK2.DAT' QSPK2.DAT
expect_dir 'c:\kmdrv'
