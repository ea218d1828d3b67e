#!/usr/bin/env bash
# The floors of the library run one way: a folder may include headers of
# its own floor and of the floors below it, never of one above.
#
#   platform <- agent <- util <- datastore <- db <- persist <- dataobject <- cli
#
# (check/ is the check program beside the library and may use platform/ and
# agent/ only.) Prints each upward include as FILE:LINE: and exits 1 when
# there is one; exits 0 otherwise.
#
#   check-floors.sh [ROOT]     ROOT defaults to the project root
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
floors=(platform agent util datastore db persist dataobject cli)
declare -A rank
for i in "${!floors[@]}"; do rank[${floors[$i]}]=$i; done
rank[check]=${rank[agent]}

status=0
for folder in "${!rank[@]}"; do
  [ -d "$root/$folder" ] || continue
  own=${rank[$folder]}
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -E 's/^[^"]*#[[:space:]]*include[[:space:]]*"([a-z_]+)\/.*/\1/' <<<"${rest#*:}")
    [ -n "${rank[$target]+x}" ] || continue
    [ "$target" = check ] && [ "$folder" != check ] && target=cli
    if (( ${rank[$target]} > own )); then
      echo "${file#"$root"/}:$line: $folder/ includes $target/, a floor above it" >&2
      status=1
    fi
  done < <(grep -rnE --include='*.h' --include='*.cpp' --include='*.c' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$root/$folder" || true)
done
if (( status == 0 )); then echo "floors: every include runs downward"; fi
exit $status
