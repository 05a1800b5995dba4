#!/usr/bin/env bash
# Writes a bash completion for vanto made from vanto's own help texts: its commands, and each
# command's options. Words that are not options complete as file names (firmware files, settings
# files, record files).
# Usage: vanto-completion.sh <vanto> > completion
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
vanto=$1

# The options that a help text lists ("  -h,--help ...", "  --port TEXT ...").
options_of() {
  sed -nE 's/^  (-[A-Za-z0-9],)?(--[a-z0-9-]+).*/\2/p' | sort -u | tr '\n' ' ' | sed 's/ $//'
}

commands=$(bash "$here/vanto-commands.sh" "$vanto" | tr '\n' ' ' | sed 's/ $//')
echo "# bash completion for vanto, made from the help texts of vanto $("$vanto" --version | cut -d' ' -f2)"
echo "_vanto() {"
echo '  local cur=${COMP_WORDS[COMP_CWORD]} command= words i'
echo '  for ((i = 1; i < COMP_CWORD; i++)); do'
echo '    case ${COMP_WORDS[i]} in -*) ;; *) command=${COMP_WORDS[i]}; break ;; esac'
echo '  done'
echo '  case $command in'
echo "    '') words=\"$("$vanto" --help | options_of) $commands\" ;;"
for command in $commands; do
  echo "    $command) words=\"$("$vanto" "$command" --help | options_of)\" ;;"
done
echo '    *) words= ;;'
echo '  esac'
echo '  if [[ -z $command || $cur == -* ]]; then'
echo '    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")'
echo '  else'
echo '    mapfile -t COMPREPLY < <(compgen -f -- "$cur")'
echo '  fi'
echo "}"
echo "complete -o filenames -F _vanto vanto"
