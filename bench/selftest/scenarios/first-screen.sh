# The stand-in's first screen on Windows XP, then Exit: nothing changes.
windows winxp
marker absent
medium

drive <<'SCRIPT'
start E:\Setup.exe E:\
text 1010 "Windows Version :"
text 1011 "2  5.1  1 0x100"
visible 1001
hidden 1002
hidden 1004
hidden 1005
hidden 1008
hidden 1006
hidden 1012
focus 1000
range 0 10
progress 0
nomessage
screenshot first.bmp
click 1000
exits
SCRIPT

expect_restart no
expect_no_reg_key 'HKLM\system\Veltrano Card'
expect_no_dir 'c:\kmdrv'
