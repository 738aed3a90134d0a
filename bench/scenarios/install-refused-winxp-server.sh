# Install refused on Windows XP Server: "The Version not support Windows XP
# Server" once c:\kmdrv is made and the bar stands at 2; a second Next
# refuses again. Nothing else is installed, no marker, no restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
windows winxp-server
marker absent
medium

failed_install_script 1004 2 "The Version not support Windows XP Server" | drive

expect_restart no
expect_dir 'c:\kmdrv'
expect_no_file 'c:\kmdrv\Peek_B.exe'
expect_no_file "$SYS_DIR\\drivers\\VNT.sys"
expect_no_file "$SYS_DIR\\SCSIKRN.VXD"
expect_no_file "$PROGRAMS\\PeekBuff.exe"
expect_no_reg_key "$VNT_KEY"
expect_no_reg_key "$SKVXD_KEY"
expect_no_reg_key "$MARKER"
