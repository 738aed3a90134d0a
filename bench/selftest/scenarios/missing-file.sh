# A file left out of the medium: the error box with the stop icon, the
# program stays, nothing more is done; the close button then ends it.
windows win2k
medium --without NT/vnt4.sys

drive <<'SCRIPT'
start E:\Setup.exe E:\
text 1011 "2  5.0  1 0x0"
click 1001
click 1005
click 1008
screenshot error.bmp
message "Error" "Soure File Tree not found" hand
nomessage
alive
visible 1006
progress 2
close
exits
SCRIPT

expect_restart no
expect_no_reg_key 'HKLM\system\Veltrano Card'
expect_dir 'c:\kmdrv'
expect_file 'c:\kmdrv\QSPK2.DAT' QSPK2.DAT
expect_no_file 'c:\kmdrv\vnt4.sys'
expect_no_reg_value 'HKLM\SYSTEM\CurrentControlSet\Services\VNT' Start
expect_no_ini PagingDrive
