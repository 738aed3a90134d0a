# What GetVersionExA reports for each emulated Windows ("platform
# major.minor product-type suite-mask" in the stand-in's version field).
check_version() {
    windows "$1"
    drive <<SCRIPT
start E:\\Setup.exe E:\\
text 1011 "$2"
close
exits
SCRIPT
}

check_version win95 "1  4.0  0 0x0"
check_version win98 "1  4.10  0 0x0"
check_version winme "1  4.90  0 0x0"
check_version nt40 "2  4.0  1 0x0"
check_version win2k "2  5.0  1 0x0"
check_version winxp "2  5.1  1 0x100"
check_version win2003 "2  5.2  3 0x100"
check_version nt40-server "2  4.0  3 0x0"
check_version nt40-dc "2  4.0  2 0x0"
check_version win2k-server "2  5.0  3 0x0"
check_version win2k-dc "2  5.0  2 0x0"
check_version win2k-ws "2  5.0  1 0x0"
check_version winxp-server "2  5.1  3 0x0"
check_version winxp-dc "2  5.1  2 0x0"
check_version winxp-ws "2  5.1  1 0x0"
# Back to no setting: the registry of a fresh prefix again.
check_version win7 "2  6.1  1 0x0"
