# Windows 98 without the system directory's iosubsys folder: the VxD copy has
# its source but nothing lands at its destination, so "Cannot write" and the
# destination stop the plan at 6 (again on a second Next); no registry or
# system.ini change, no marker, no restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98
rmdir "$WINEPREFIX/drive_c/windows/system32/iosubsys"

failed_install_script 1004 6 "Cannot write C:\\\\windows\\\\system32\\\\iosubsys\\\\v98.vxd" cannot-write.bmp | drive

expect_restart no
expect_file "$SYS_DIR\\SCSIKRN.VXD" QSPK2.DAT
expect_no_dir "$SYS_DIR\\iosubsys"
expect_no_file "$SYS_DIR\\SCSIKRN.SYS"
expect_no_file 'c:\kmdrv\kmide.dat'
expect_9x_untouched
