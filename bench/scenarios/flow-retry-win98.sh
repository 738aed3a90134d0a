# Windows 98: Next fails on the missing \98\v98.vxd; the file is then put on
# the medium and a second Next runs every step to 10, yet without the marker,
# without a message and without a restart, since the first failure decides
# the run.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98
medium --without 98/v98.vxd

medium_add_after_screenshot failed.bmp 98/v98.vxd
drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
message "Error" "Soure File Tree not found" hand
progress 6
screenshot failed.bmp
# The scenario puts \98\v98.vxd on the medium now.
sleep 1500
click 1008
progress 10
nomessage
sleep 500
nomessage
alive
visible 1008
screenshot retried.bmp
click 1000
exits
SCRIPT
medium_add_wait

expect_restart no
expect_9x_files ide
expect_reg_values "$SKVXD_KEY" Start REG_BINARY 00 StaticVxD REG_SZ Scsikrn.vxd
expect_reg "$HELD_KEY" '*StateMgr' REG_SZ "$STATE_MGR"
expect_ini PagingDrive d:
expect_ini MaxPagingFileSize 307200
expect_no_reg_key "$MARKER"
