# Windows XP with \Peek_B.exe missing: the driver is already in place when
# "Soure File Two not found" stops the plan at 5; no service, no paging
# change, no marker, no restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt winxp
medium --without Peek_B.exe

failed_install_script 1005 5 "Soure File Two not found" | drive

expect_restart no
expect_file "$SYS_DIR\\drivers\\VNT.sys" NT/VNT.sys
expect_no_file 'c:\kmdrv\Peek_B.exe'
expect_no_file "$PROGRAMS\\PeekBuff.exe"
expect_nt_untouched
