# The first screen of Setup and the ways to leave it, shared by the
# first-screen scenarios: each describes its machine, then calls
# first_screen_runs and expect_nothing_changed.

# TODO: the text the program shows for an NT version it does not support
# (Windows 7, Server 2003) is the product's choice; this is the one it shows
# now, to be confirmed.
UNSUPPORTED_NT_TEXT="Windows  NT  (unsupported version)"

# first_screen_runs install|uninstall <version text>
# Three runs of the program on the machine as described: the first screen
# (with a screenshot) left by Exit, then by one key, then by the close
# button. Without the marker Install is offered and Escape is the key; with
# it Uninstall is offered, and Enter and space (on Exit, which has the focus)
# are tried as well.
first_screen_runs() {
    local offer=$1 text=$2 shown hidden
    if [ "$offer" = install ]; then
        shown=1001 hidden=1002
    else
        shown=1002 hidden=1001
    fi
    drive <<SCRIPT
start E:\\Setup.exe E:\\
text 1010 "Windows Version :"
text 1011 "$text"
visible 1010
visible 1011
visible $shown
hidden $hidden
visible 1000
hidden 1004
hidden 1005
hidden 1008
hidden 1006
hidden 1012
range 0 10
progress 0
focus 1000
nomessage
screenshot first.bmp
click 1000
exits
start E:\\Setup.exe E:\\
key escape
exits
start E:\\Setup.exe E:\\
close
exits
SCRIPT
    if [ "$offer" = uninstall ]; then
        drive <<'SCRIPT'
start E:\Setup.exe E:\
key enter
exits
start E:\Setup.exe E:\
key space
exits
SCRIPT
    fi
}

# expect_nothing_changed absent|present: the marker as it was, and nothing
# of an install or a restart request.
expect_nothing_changed() {
    expect_restart no
    if [ "$1" = present ]; then
        expect_reg_key 'HKLM\system\Veltrano Card'
    else
        expect_no_reg_key 'HKLM\system\Veltrano Card'
    fi
    expect_no_dir 'c:\kmdrv'
    expect_no_file 'C:\windows\system32\SCSIKRN.VXD'
    expect_no_file 'C:\windows\system32\drivers\VNT.sys'
    expect_dir "$BENCH_PROGRAMS_WIN"
    expect_no_file "$BENCH_PROGRAMS_WIN\\PeekBuff.exe"
    expect_no_reg_key 'HKLM\SYSTEM\CurrentControlSet\Services\VNT'
    expect_no_reg_key 'HKLM\System\CurrentControlSet\Services\VxD\SKVXD'
    expect_no_reg_key 'HKLM\SYSTEM\Veltrano'
}
