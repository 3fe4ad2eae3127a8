# Checks the data tests share, sourced after the script sets $tool (the termovel-dic binary),
# $dic (the built dictionary) and $label (how its failures are introduced).
export LC_ALL=C.UTF-8

fail() {
    echo "FAIL ($label): $*" >&2
    exit 1
}

# The built file passes verify, and with "header" its header names the dictionary and its
# author, and the description names the licence.
checkBuilt() {
    local line info
    "$tool" verify "$dic" >/dev/null || fail "verify rejects $dic"
    [ "${1:-}" = header ] || return 0
    info=$("$tool" info "$dic")
    for line in "Название словаря: ." "Автор-составитель: ." "Дополнительная информация: .*Лицензия: ."; do
        grep -q "^$line" <<<"$info" || fail "the header has no \"$line\" line"
    done
}
