# Install through IDE/SCSI on Windows 98: radio check marks from BM_CLICK,
# the question box, files opened by another letter case, registry, system.ini
# and the restart request. Then uninstall in the same machine.
windows win98
marker absent
medium
ini_set PagingDrive C:
ini_set MaxPagingFileSize 1000

drive <<'SCRIPT'
start E:\Setup.exe E:\
text 1011 "1  4.10  0 0x0"
click 1001
hidden 1001
hidden 1010
visible 1004
visible 1005
text 1012 "Please select your HDD interface :"
unchecked 1004
unchecked 1005
hidden 1008
click 1004
checked 1004
unchecked 1005
visible 1008
hidden 1012
click 1005
checked 1005
unchecked 1004
click 1004
checked 1004
unchecked 1005
click 1008
message "Warning" "Install OK !! System will be restart ......." question
exits
SCRIPT

expect_restart yes
expect_reg_key 'HKLM\system\Veltrano Card'
expect_dir 'C:\KMDRV'
expect_file 'c:\kmdrv\qspk2.dat' QSPK2.DAT
expect_file 'c:\kmdrv\VNT4.SYS' NT/vnt4.sys
expect_reg 'HKLM\SYSTEM\CurrentControlSet\Services\VNT' Start REG_DWORD 1
expect_reg 'HKLM\SYSTEM\CurrentControlSet\Services\VNT' DisplayName REG_SZ VNT
expect_reg 'HKLM\SYSTEM\CurrentControlSet\Services\VNT' SourceAttributes REG_DWORD 0x20
expect_ini PagingDrive D:
expect_ini MaxPagingFileSize 1000

drive <<'SCRIPT'
start E:\Setup.exe E:\
hidden 1001
visible 1002
click 1002
message "Warning" "Uninstall OK !! System will be restart ......." question
exits
SCRIPT

expect_restart yes
expect_no_reg_key 'HKLM\system\Veltrano Card'
expect_no_reg_key 'HKLM\SYSTEM\CurrentControlSet\Services\VNT'
expect_no_file 'c:\kmdrv\QSPK2.DAT'
expect_no_dir 'c:\kmdrv'
# Leading blanks of a profile value are dropped.
expect_ini PagingDrive ""
