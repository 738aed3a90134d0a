# NT 4.0 with \nt\vnt4.sys missing: "Soure File one not found" with the bar at
# 3 (the position set before the first copy); nothing copied, no service, no
# paging change, no marker, no restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt nt40
medium --without NT/vnt4.sys

failed_install_script 1004 3 "Soure File one not found" | drive

expect_restart no
expect_dir 'c:\kmdrv'
expect_no_file "$SYS_DIR\\drivers\\VNT.sys"
expect_no_file 'c:\kmdrv\Peek_B.exe'
expect_no_file "$PROGRAMS\\PeekBuff.exe"
expect_nt_untouched
