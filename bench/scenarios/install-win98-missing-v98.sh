# Windows 98 with \98\v98.vxd missing from the medium: the first three copies
# are done, "Soure File Tree not found" stops the plan at 6 (again on a second
# Next), and no registry or system.ini change, no marker and no restart
# follow.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98
medium --without 98/v98.vxd

failed_install_script 1004 6 "Soure File Tree not found" missing.bmp | drive

expect_restart no
expect_file 'c:\kmdrv\Peek_B.exe' Peek_B.exe
expect_file "$PROGRAMS\\PeekBuff.exe" Peek_B.exe
expect_file "$SYS_DIR\\SCSIKRN.VXD" QSPK2.DAT
expect_no_file "$SYS_DIR\\iosubsys\\v98.vxd"
expect_no_file "$SYS_DIR\\SCSIKRN.SYS"
expect_no_file 'c:\kmdrv\kmide.dat'
expect_9x_untouched
