#!/usr/bin/env bash
# Bash completion of keldan-dnc and keldan-cnc: commands and options come
# from the programs' --help (so a command added there completes), machine
# names from MAQUINAS.INI of the folder the program would use.
# Usage: completado_test.sh COMPLETION_SCRIPT BUILD_DIR
set -u
script=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fallos=0

# A newer keldan-dnc with a command this script has never heard of, installed
# (INSTALADO beside it): its settings are the user's.
mkdir -p "$tmp/nuevo" "$tmp/xdg/keldan" "$tmp/cfg" "$tmp/progs"
cat >"$tmp/nuevo/keldan-dnc" <<'X'
#!/bin/sh
printf 'usage: keldan-dnc [--config DIR] serve\n       keldan-dnc [--config DIR] check FILE [MACHINE]\n'
X
chmod +x "$tmp/nuevo/keldan-dnc"
touch "$tmp/nuevo/INSTALADO" "$tmp/progs/O1234.NC"
printf '[Torno 1]\r\nCom=/dev/ttyS0\r\n\r\n[Fresa]\r\nVt=9600\r\n' >"$tmp/cfg/MAQUINAS.INI"
printf '[Centro 3]\nVt=4800\n' >"$tmp/xdg/keldan/MAQUINAS.INI"

# shellcheck source=/dev/null
source "$script"
completa() {
    local funcion=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$funcion" 2>/dev/null
    local IFS='|'
    echo "${COMPREPLY[*]}"
}
espera() {
    local esperado=$1 obtenido
    shift
    obtenido=$(completa "$@")
    if [ "$obtenido" != "$esperado" ]; then
        echo "FAIL: $*: got '$obtenido', expected '$esperado'"
        fallos=$((fallos + 1))
    fi
}

PATH=$build:$PATH
espera 'status|stop' _keldan_dnc keldan-dnc st
espera '--config' _keldan_dnc keldan-dnc --con
espera 'Torno\ 1|Fresa' _keldan_dnc keldan-dnc --config "$tmp/cfg" send ''
espera 'Torno\ 1' _keldan_dnc keldan-dnc --config "$tmp/cfg" stop '"To'
espera "$tmp/progs/O1234.NC" _keldan_dnc keldan-dnc --config "$tmp/cfg" send Fresa "$tmp/progs/O"
espera '' _keldan_dnc keldan-dnc --config "$tmp/cfg" status ''
espera 'crlf|lf|cr' _keldan_cnc keldan-cnc --eol ''
espera '--receive|--repeat|--request-dc1' _keldan_cnc keldan-cnc --re
espera '' _keldan_cnc keldan-cnc --speed ''
espera "$tmp/progs/O1234.NC" _keldan_cnc keldan-cnc --send "$tmp/progs/O"

PATH=$tmp/nuevo:$PATH XDG_CONFIG_HOME=$tmp/xdg
espera 'check' _keldan_dnc keldan-dnc ch
espera 'Centro\ 3' _keldan_dnc keldan-dnc check x.nc ''

[ "$fallos" -eq 0 ]
