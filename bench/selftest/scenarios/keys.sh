# Ending the dialog by keyboard and by the close button, with the marker
# present (Uninstall offered): each ends the program and changes nothing.
windows winme
marker present

drive <<'SCRIPT'
start E:\Setup.exe E:\
text 1011 "1  4.90  0 0x0"
hidden 1001
visible 1002
focus 1000
key escape
exits
start E:\Setup.exe E:\
key enter
exits
start E:\Setup.exe E:\
key space
exits
start E:\Setup.exe E:\
close
exits
SCRIPT

expect_restart no
expect_reg_key 'HKLM\system\Veltrano Card'
expect_no_dir 'c:\kmdrv'
