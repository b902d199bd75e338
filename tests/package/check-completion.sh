#!/usr/bin/env bash
# check-completion.sh KLV BASH_COMPLETION ZSH_COMPLETION: the bash completion loads (complete -p klv) and offers
# commands, options with their choices, and the product names of the cached library; the zsh one parses.
set -euo pipefail
klv=$1 bash_script=$2 zsh_script=$3
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache"
export ASAN_OPTIONS=detect_leaks=0

# Without a cached library there is nothing to offer, and nothing is created for asking.
[ -z "$("$klv" --complete-products)" ] || fail "names without a library"
[ -z "$(ls -A "$home")" ] || fail "completion created files: $(ls -A "$home")"

cache="$XDG_DATA_HOME/klv-app/Group Containers/group.com.vantory.klvapp"
mkdir -p "$cache"
cat >"$cache/KLVApp_MyProductCache.bin" <<'JSON'
[{"product_id": 1, "product_name": "Vantory - Glow Pack", "children": []},
 {"product_id": 2, "product_name": "Glitch Titles", "children": []},
 {"product_id": 3, "product_name": "Kinetic Titles", "children": []},
 {"product_id": 4, "product_name": "Two\nLines", "children": []},
 {"product_id": 5, "product_name": "Dust & $cratches `v2`", "children": []}]
JSON
[ "$("$klv" --complete-products)" = $'Glow Pack\nGlitch Titles\nKinetic Titles\nTwo\\nLines\nDust & $cratches `v2`' ] ||
  fail "names: $("$klv" --complete-products)"

source "$bash_script"
complete -p klv | grep -q -- '-F _klv' || fail "complete -p klv"
offer() {
  COMP_WORDS=("$klv" "$@")
  COMP_CWORD=$(($# ))
  COMPREPLY=()
  _klv
  printf '%s\n' "${COMPREPLY[@]}"
}
[[ $(offer ins) == install ]] || fail "command: $(offer ins)"
[ "$(offer install Gl)" = $'Glow\\ Pack\nGlitch\\ Titles' ] || fail "products: $(offer install Gl)"
[ "$(offer uninstall 'Glow\ P')" = 'Glow\ Pack' ] || fail "escaped prefix: $(offer uninstall 'Glow\ P')"
# What the shell makes of the completed word, opened with the quote (or none) typed and closed by the shell.
names=$("$klv" --complete-products)
for quote in '' '"' "'"; do
  for typed in Glow Dust; do
    reply=$(offer install "$quote$typed")
    eval "word=$quote$reply$quote"
    [[ $word == "$typed"* && $(grep -c . <<<"$reply") == 1 ]] || fail "install $quote$typed: $reply"
    grep -qxF -- "$word" <<<"$names" || fail "install $quote$typed gave $word"
  done
done
[ "$(offer list --filter not)" = not-installed ] || fail "choices: $(offer list --filter not)"
offer list --j | grep -qx -- --json || fail "options: $(offer list --j)"
offer whoami '' | grep -qx -- --json || fail "whoami options: $(offer whoami '')"
! offer whoami '' | grep -q Glow || fail "whoami takes no names: $(offer whoami '')"

zsh -n "$zsh_script" || fail "zsh completion does not parse"
# zsh's completion builtins stubbed: what the function offers for "klv install G" and "klv list --sort ".
zsh_offer() {
  zsh -f -c 'compadd() { [[ $1 == -- ]] && shift; print -rl -- "$@"; }
             _describe() { :; }
             source "$1" >/dev/null
             words=("$2" "${@[3,-1]}"); CURRENT=$#words; PREFIX=${words[-1]}
             _klv' zsh "$zsh_script" "$klv" "$@"
}
[ "$(zsh_offer install G)" = $'Glow Pack\nGlitch Titles\nKinetic Titles\nTwo\\nLines\nDust & $cratches `v2`' ] ||
  fail "zsh products: $(zsh_offer install G)"
[ "$(zsh_offer list --sort '')" = $'az\nza' ] || fail "zsh choices: $(zsh_offer list --sort '')"
echo ok
