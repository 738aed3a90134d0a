# NT 4.0: a complete install, the restart, then Uninstall: the driver, both
# copies of the companion program, a read-only d:\pagefile.sys and c:\kmdrv
# go, the VNT key keeps only what else it held, the VNT4 subkey is deleted,
# the first paging file is back on C:, the marker is gone, and the program
# ends with a restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt nt40
reg_set "$VNT_KEY" Group REG_SZ kept
reg_key "$SERVICES_KEY\\VNT4"
reg_key "$SERVICES_KEY\\NT5"

install_script 1004 | drive
expect_restart yes
expect_nt_installed NT/vnt4.sys
echo pagefile >"$WINEPREFIX/disk_d/pagefile.sys"
chmod a-w "$WINEPREFIX/disk_d/pagefile.sys"

uninstall_script | drive
expect_restart yes
expect_nt_uninstalled VNT4
expect_reg "$VNT_KEY" Group REG_SZ kept
expect_reg_key "$SERVICES_KEY\\NT5"
