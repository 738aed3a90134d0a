# Windows XP, started from the installation disc (E: a CD-ROM drive with the
# image's files, read-only): a complete install, the restart, then
# Uninstall: the files (read-only copies), a read-only d:\pagefile.sys and
# c:\kmdrv go, the VNT key stays without its three values, the NT5 subkey is
# deleted (VNT4 is not), the first paging file is back on C:, the marker is
# gone, and the program ends with a restart.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt winxp
medium_disc
reg_key "$SERVICES_KEY\\NT5"
reg_key "$SERVICES_KEY\\VNT4"

install_script 1005 | drive
expect_restart yes
expect_nt_installed NT/VNT.sys
echo pagefile >"$WINEPREFIX/disk_d/pagefile.sys"
chmod a-w "$WINEPREFIX/disk_d/pagefile.sys"

uninstall_script | drive
expect_restart yes
expect_nt_uninstalled NT5
expect_reg_key "$SERVICES_KEY\\VNT4"
