#!/usr/bin/env bash
# Includes run one way: each folder below may include only the folders its
# line names (and itself). Prints every include that runs the wrong way.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

allowed() {
  case "$1" in
    platform)     echo "platform" ;;
    data)         echo "platform data" ;;
    model)        echo "platform data model" ;;
    db)           echo "platform data db" ;;
    app/common)   echo "platform data model db app/common" ;;
    app/cards)    echo "platform data model db app/common app/cards" ;;
    app/maptools) echo "platform data model db app/common app/maptools" ;;
    app/search)   echo "platform data model db app/common app/cards app/search" ;;
    app/windows)  echo "platform data model db app/common app/cards app/search app/windows" ;;
    app)          echo "platform data model db app/common app/cards app/maptools app/search app/windows app" ;;
  esac
}

# The folder an include names: "app/search/SearchT.h" -> app/search, "app/MainForm.h" -> app.
target_of() {
  local path=$1
  case "$path" in
    app/*/*) echo "${path%/*}" ;;
    *)       echo "${path%%/*}" ;;
  esac
}

bad=0
for folder in platform data model db app/common app/cards app/maptools app/search app/windows app; do
  [ -d "$folder" ] || continue
  depth=(-maxdepth 1)
  [ "$folder" = platform ] || [ "$folder" = data ] || [ "$folder" = model ] && depth=()
  ok=" $(allowed "$folder") "
  while IFS=: read -r file line text; do
    path=$(sed -E 's/^#include "([^"]+)".*/\1/' <<<"$text")
    case "$path" in
      */*) ;;
      *) continue ;;  # beside the file
    esac
    if [[ "$path" == ../* ]]; then
      echo "$file:$line: relative include across folders: $path"; bad=1; continue
    fi
    top=${path%%/*}
    case "$top" in platform|data|model|db|app) ;; *) continue ;; esac
    t=$(target_of "$path")
    if [[ "$ok" != *" $t "* ]]; then
      echo "$file:$line: $folder must not include $path"; bad=1
    fi
  done < <(find "$folder" "${depth[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 |
           xargs -0 grep -nH '^#include "' || true)
done
if [ "$bad" != 0 ]; then
  echo "includes run the wrong way (see the folder table in README)"; exit 1
fi
echo "includes run one way"
