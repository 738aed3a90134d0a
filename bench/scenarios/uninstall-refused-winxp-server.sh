# Uninstall refused on Windows XP Server with the marker present: the
# refusal, an empty c:\kmdrv removed all the same, the marker kept, the dialog
# still offering Uninstall; a second click refuses again. Then the same on
# Windows 7, an NT version without a plan.
source "$BENCH_DIR/scenarios/common/flow.sh"

refused_uninstall() {
    mkdir -p "$WINEPREFIX/drive_c/kmdrv"
    drive <<SCRIPT
start E:\\Setup.exe E:\\
click 1002
message "Error" "$1" hand
visible 1002
hidden 1001
hidden 1006
visible 1011
nomessage
alive
${2:-}
click 1002
message "Error" "$1" hand
visible 1002
nomessage
alive
click 1000
exits
SCRIPT
    expect_restart no
    expect_reg_key "$MARKER"
    expect_no_dir 'c:\kmdrv'
}

windows winxp-server
marker present
medium
refused_uninstall "The Version not support Windows XP Server" "screenshot refused.bmp"

windows win7
refused_uninstall "Unknow Windows Version"
