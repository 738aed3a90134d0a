# The whole flow of Setup: machines with what a real Windows of the kind has,
# the driver scripts of an install and an uninstall, and the checks of what
# each left on the machine. Shared by the install-*, uninstall-* and flow-*
# scenarios.

SYS_DIR='C:\windows\system32'
PROGRAMS=$BENCH_PROGRAMS_WIN
MARKER='HKLM\system\Veltrano Card'
HELD_KEY='HKLM\SYSTEM\Veltrano'
RUN_SERVICES='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunServices'
STATE_MGR='C:\WINDOWS\SYSTEM\STATEMGR.EXE'
SKVXD_KEY='HKLM\System\CurrentControlSet\Services\VxD\SKVXD'
SERVICES_KEY='HKLM\SYSTEM\CurrentControlSet\Services'
VNT_KEY="$SERVICES_KEY\\VNT"
MEMORY_KEY='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management'
INSTALL_OK="Install OK !! System will be restart ......."
UNINSTALL_OK="Uninstall OK !! System will be restart ......."

# machine_9x <kind>: a Windows 95/98/ME without the product, whose state
# manager starts from RunServices, the complete medium on E:, D: a fixed disk
# with far more than 300 MB free.
machine_9x() {
    windows "$1"
    marker absent
    medium
    reg_set "$RUN_SERVICES" '*StateMgr' REG_SZ "$STATE_MGR"
}

# machine_nt <kind> [fresh]: an NT system without the product, the complete
# medium on E:, D: a fixed disk with far more than 300 MB free. Its paging
# file is on C:, kept as REG_MULTI_SZ as NT keeps it, or with "fresh" as a
# fresh Wine prefix has it (REG_SZ).
machine_nt() {
    windows "$1"
    marker absent
    medium
    [ "${2:-}" = fresh ] || reg_set "$MEMORY_KEY" PagingFiles REG_MULTI_SZ 'C:\pagefile.sys 27 77'
}

# install_script 1004|1005 [<shot prefix>]: the driver script of a complete
# install with IDE (1004) or SCSI (1005), the success message checked while
# the dialog still shows its end state, and the end of the program by the
# restart. With a shot prefix every screen is photographed.
install_script() {
    local choice=$1 other=1005 shot=${2:-}
    [ "$choice" = 1005 ] && other=1004
    echo 'start E:\Setup.exe E:\'
    echo 'visible 1001'
    echo 'hidden 1002'
    [ -n "$shot" ] && echo "screenshot $shot-first.bmp"
    cat <<SCRIPT
click 1001
visible 1004
visible 1005
text 1012 "Please select your HDD interface :"
hidden 1008
SCRIPT
    [ -n "$shot" ] && echo "screenshot $shot-choice.bmp"
    cat <<SCRIPT
click $choice
checked $choice
unchecked $other
visible 1008
hidden 1012
SCRIPT
    [ -n "$shot" ] && echo "screenshot $shot-ready.bmp"
    cat <<SCRIPT
click 1008
progress 10
hidden 1004
hidden 1005
visible 1006
visible 1008
SCRIPT
    [ -n "$shot" ] && echo "screenshot $shot-installed.bmp"
    cat <<SCRIPT
message "Warning" "$INSTALL_OK" question
exits
SCRIPT
}

# uninstall_script [<shot prefix>]: the first screen offers Uninstall; the
# uninstall ends with its success message and the end of the program.
uninstall_script() {
    local shot=${1:-}
    cat <<'SCRIPT'
start E:\Setup.exe E:\
visible 1002
hidden 1001
text 1010 "Windows Version :"
SCRIPT
    [ -n "$shot" ] && echo "screenshot $shot-offer.bmp"
    echo 'click 1002'
    [ -n "$shot" ] && printf 'hidden 1001\nscreenshot %s-uninstalled.bmp\n' "$shot"
    cat <<SCRIPT
message "Warning" "$UNINSTALL_OK" question
exits
SCRIPT
}

# failed_install_script 1004|1005 <bar> "<message>" [<shot name>]: an install
# that stops with an error; the dialog stays open at that position, and a
# second Next shows the same error again. Exit ends the program.
failed_install_script() {
    cat <<SCRIPT
start E:\\Setup.exe E:\\
click 1001
click $1
click 1008
progress $2
SCRIPT
    [ -n "${4:-}" ] && echo "screenshot $4"
    cat <<SCRIPT
message "Error" "$3" hand
progress $2
visible 1008
hidden 1004
hidden 1005
nomessage
alive
click 1008
message "Error" "$3" hand
progress $2
nomessage
alive
click 1000
exits
SCRIPT
}

# ------------------------------------------------------------------ checks

# expect_9x_files ide|scsi: what the Windows 9x install places, each with its
# medium file's contents, and the data file of the other interface absent.
expect_9x_files() {
    expect_file 'c:\kmdrv\Peek_B.exe' Peek_B.exe
    expect_file "$PROGRAMS\\PeekBuff.exe" Peek_B.exe
    expect_file "$SYS_DIR\\SCSIKRN.VXD" QSPK2.DAT
    expect_file "$SYS_DIR\\iosubsys\\v98.vxd" 98/v98.vxd
    expect_file "$SYS_DIR\\SCSIKRN.SYS" 98/v98.vxd
    if [ "$1" = ide ]; then
        expect_file 'c:\kmdrv\kmide.dat' 98/v98.vxd
        expect_no_file 'c:\kmdrv\kmscsi.dat'
    else
        expect_file 'c:\kmdrv\kmscsi.dat' 98/v98.vxd
        expect_no_file 'c:\kmdrv\kmide.dat'
    fi
    expect_no_file "$SYS_DIR\\drivers\\VNT.sys"
}

# expect_9x_installed ide|scsi [paging|nopaging]: a complete Windows 9x
# install: files, the static VxD, the state manager held aside, paging on D:
# (or system.ini untouched) and the marker.
expect_9x_installed() {
    expect_9x_files "$1"
    expect_reg_values "$SKVXD_KEY" Start REG_BINARY 00 StaticVxD REG_SZ Scsikrn.vxd
    expect_reg_key_without "$RUN_SERVICES" '*StateMgr'
    expect_reg "$HELD_KEY" '*StateMgr' REG_SZ "$STATE_MGR"
    if [ "${2:-paging}" = paging ]; then
        expect_ini PagingDrive d:
        expect_ini MaxPagingFileSize 307200
    else
        expect_no_ini PagingDrive
        expect_no_ini MaxPagingFileSize
    fi
    expect_no_reg_key "$VNT_KEY"
    expect_reg_key "$MARKER"
}

# expect_9x_untouched: no registry or system.ini change of the Windows 9x
# plan (after a failed install): no VxD entry, the state manager where it
# was, no paging keys, no marker.
expect_9x_untouched() {
    expect_no_reg_key "$SKVXD_KEY"
    expect_reg "$RUN_SERVICES" '*StateMgr' REG_SZ "$STATE_MGR"
    expect_no_reg_key "$HELD_KEY"
    expect_no_ini PagingDrive
    expect_no_ini MaxPagingFileSize
    expect_no_reg_key "$MARKER"
}

# expect_9x_uninstalled: nothing of the product left on a Windows 9x system.
expect_9x_uninstalled() {
    local f
    for f in 'c:\kmdrv\kmide.dat' 'c:\kmdrv\kmscsi.dat' 'c:\kmdrv\Peek_B.exe' "$PROGRAMS\\PeekBuff.exe" \
        "$SYS_DIR\\iosubsys\\v98.vxd" "$SYS_DIR\\SCSIKRN.VXD" "$SYS_DIR\\SCSIKRN.SYS"; do
        expect_no_file "$f"
    done
    expect_no_dir 'c:\kmdrv'
    expect_dir "$SYS_DIR\\iosubsys"
    expect_no_reg_key "$SKVXD_KEY"
    expect_reg "$RUN_SERVICES" '*StateMgr' REG_SZ "$STATE_MGR"
    expect_no_reg_key "$HELD_KEY"
    # One space each; Wine's profile functions store it as an empty value.
    expect_ini PagingDrive ""
    expect_ini MaxPagingFileSize ""
    expect_no_reg_key "$MARKER"
}

# expect_nt_files <driver file of the medium>: what the NT plans place.
expect_nt_files() {
    expect_file "$SYS_DIR\\drivers\\VNT.sys" "$1"
    expect_file 'c:\kmdrv\Peek_B.exe' Peek_B.exe
    expect_file "$PROGRAMS\\PeekBuff.exe" Peek_B.exe
    expect_no_file 'c:\kmdrv\kmide.dat'
    expect_no_file 'c:\kmdrv\kmscsi.dat'
    expect_no_file "$SYS_DIR\\SCSIKRN.VXD"
    expect_no_file "$SYS_DIR\\SCSIKRN.SYS"
}

# expect_paging_on <letter> [fresh]: the first paging file of PagingFiles is
# on that drive, the value a REG_MULTI_SZ. A fresh prefix's REG_SZ is written
# back byte for byte, without the empty string that ends a REG_MULTI_SZ: the
# one string is the same (Wine's reg query would show it one character short).
expect_paging_on() {
    expect_reg "$MEMORY_KEY" PagingFiles REG_MULTI_SZ "$1:\\pagefile.sys 27 77"
}

# expect_nt_installed <driver file of the medium> [paging|nopaging]: a
# complete NT install: files, the VNT service, paging on D: (or left on C:)
# and the marker.
expect_nt_installed() {
    expect_nt_files "$1"
    expect_reg_values "$VNT_KEY" ErrorControl REG_DWORD 1 Type REG_DWORD 1 Start REG_DWORD 0
    if [ "${2:-paging}" = paging ]; then
        expect_paging_on D
    else
        expect_paging_on C
    fi
    expect_no_reg_key "$SKVXD_KEY"
    expect_reg_key "$MARKER"
}

# expect_nt_untouched: no registry change of the NT plans (after a failed
# install): no service, paging where it was, no marker.
expect_nt_untouched() {
    expect_no_reg_key "$VNT_KEY"
    expect_paging_on C
    expect_no_reg_key "$MARKER"
}

# expect_nt_uninstalled <deleted service subkey>: nothing of the product
# left on an NT system; the VNT key stays without its three values.
expect_nt_uninstalled() {
    expect_no_file "$SYS_DIR\\drivers\\VNT.sys"
    expect_no_file 'c:\kmdrv\Peek_B.exe'
    expect_no_file "$PROGRAMS\\PeekBuff.exe"
    expect_no_file 'd:\pagefile.sys'
    expect_no_dir 'c:\kmdrv'
    expect_reg_key_without "$VNT_KEY" ErrorControl Type Start
    expect_no_reg_key "$SERVICES_KEY\\$1"
    expect_paging_on C
    expect_no_reg_key "$MARKER"
}

# expect_read_only <windows path>...: the files exist and have no write
# permission on the host (Windows sees them read-only).
expect_read_only() {
    local p host
    for p in "$@"; do
        if ! host=$(_bench_host_path "$p"); then
            _bench_result "expect_read_only $p" "expected the file, found no such file"
        elif [ -n "$(find "$host" -maxdepth 0 -perm /222)" ]; then
            _bench_result "expect_read_only $p" "expected a read-only file, found $(stat -c %A "$host")"
        else
            _bench_result "expect_read_only $p"
        fi
    done
}

# medium_add_after_screenshot <shot.bmp> <file>: in the background, puts the
# file on the medium as soon as the next drive has taken that screenshot; a
# script makes the file appear between two clicks with "screenshot <shot>",
# then a sleep. medium_add_wait waits for the background job.
medium_add_after_screenshot() {
    local shot=$BENCH_SCEN_DIR/shots-$((BENCH_DRIVES + 1))/$1 file=$2
    (
        for _ in $(seq 1 1200); do
            [ -e "$shot" ] && { medium_add "$file" >/dev/null && exit 0; exit 2; }
            sleep 0.05
        done
        exit 1
    ) &
    MEDIUM_ADD_PID=$!
}

medium_add_wait() {
    wait "$MEDIUM_ADD_PID"
    case $? in
    0) _bench_result "medium_add after the screenshot" ;;
    2) _bench_result "medium_add after the screenshot" "could not put the file on the medium" ;;
    *) _bench_result "medium_add after the screenshot" "the screenshot was never taken" ;;
    esac
}
