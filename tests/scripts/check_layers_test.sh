#!/usr/bin/env bash
# The layer check on scratch trees: the project's own layers.txt and empty
# folders like the project's, plus one source file per case. It must pass a
# downward include and refuse each kind of wrong one with the file and line.
#
# Usage: check_layers_test.sh SOURCE_DIR
set -euo pipefail

source_dir=$(realpath "$1")
# shellcheck source=tests/lib/test_lib.sh
source "$source_dir/tests/lib/test_lib.sh"
make_work_dir

# A scratch tree holding FILE with the single line LINE (then a blank line,
# so the include sits on line 1). Prints the tree's path.
scratch_tree() {
  local name=$1 file=$2 line=$3 tree
  tree="$work/$name"
  mkdir -p "$tree"
  cp "$source_dir/layers.txt" "$tree/"
  (cd "$source_dir" && find src tools -mindepth 1 -maxdepth 1 -type d) |
    while read -r folder; do mkdir -p "$tree/$folder"; done
  mkdir -p "$(dirname "$tree/$file")"
  printf '%s\n\n' "$line" >"$tree/$file"
  echo "$tree"
}

# name | file | include line | expected exit | expected start of the report
cases=(
  'downward|src/network/downloader.cc|#include "platform/file.h"|0|'
  'own folder|src/app/workers.cc|#include "app/workers.h"|0|'
  'same-folder header|tools/standins/workbench_standin.cc|#include "own_program.h"|0|'
  'c++ library|src/environment/x.cc|#include <optional>|0|'
  'network reads environment|src/network/downloader.cc|#include "environment/data_directory.h"|1|src/network/downloader.cc:1: includes "environment/data_directory.h", but src/network may not include environment (layers.txt)'
  'pipeline knows the queue|src/product_install/pipeline.h|#include "app/progress_queue.h"|1|src/product_install/pipeline.h:1: includes "app/progress_queue.h", but src/product_install may not include app (layers.txt)'
  'workers know the window|src/app/workers.h|#include "ui/ui_state.h"|1|src/app/workers.h:1: includes "ui/ui_state.h", but src/app may not include ui (layers.txt)'
  'packer runs workers|tools/velmo-pack/x.cc|#include "app/workers.h"|1|tools/velmo-pack/x.cc:1: includes "app/workers.h", but tools/velmo-pack may not include app (layers.txt)'
  'windows header in pure ui|src/ui/ui_state.h|#include <windows.h>|1|src/ui/ui_state.h:1: includes <windows.h>, but src/ui may not include <system> (layers.txt)'
  'windows header in the window|src/ui/main_window.cc|#include <windows.h>|0|'
  'json in environment|src/environment/x.cc|#include <nlohmann/json.hpp>|1|src/environment/x.cc:1: includes <nlohmann/json.hpp>, but src/environment may not include <nlohmann> (layers.txt)'
  'png decoder in the ui|src/ui/png_frame.cc|#include <stb/stb_image.h>|0|'
  'png decoder below the ui|src/app/x.cc|#include <stb/stb_image.h>|1|src/app/x.cc:1: includes <stb/stb_image.h>, but src/app may not include <stb> (layers.txt)'
  'folder without rules|src/installer/x.cc|#include "platform/file.h"|1|src/installer/x.cc: layers.txt has no block [src/installer] for this folder'
)

for row in "${cases[@]}"; do
  IFS='|' read -r name file line want_code want_report <<<"$row"
  tree=$(scratch_tree "${name// /_}" "$file" "$line")
  code=0
  report=$(python3 "$source_dir/scripts/check_layers.py" "$tree" 2>&1) || code=$?
  expect "$name: exit code" "$want_code" "$code"
  if [ -n "$want_report" ]; then
    expect "$name: report" "$want_report" "$(head -n 1 <<<"$report")"
  fi
done

# run_check TREE: the check's exit status in $code, its report in $report.
run_check() {
  code=0
  report=$(python3 "$source_dir/scripts/check_layers.py" "$1" 2>&1) || code=$?
}

# The table itself: a rule without its reason, or naming no folder, is
# refused before any file is read.
tree=$(scratch_tree no_reason src/network/x.cc '#include "platform/file.h"')
printf '[src/extra]\n+platform\n' >>"$tree/layers.txt"
run_check "$tree"
expect "rule without a reason: exit code" 1 "$code"
expect "rule without a reason: report" "the rule +platform gives no reason" "${report##*: }"

tree=$(scratch_tree unknown_name src/network/x.cc '#include "platform/file.h"')
printf '[src/extra]\n+plaftorm  a typo\n' >>"$tree/layers.txt"
run_check "$tree"
expect "rule naming no folder: exit code" 1 "$code"

# The order: a rule of a folder of src/ that points up, or a block of a
# folder of src/ the order does not name, is refused before any file is read.
tree=$(scratch_tree points_up src/network/x.cc '#include "platform/file.h"')
printf '[src/network/extra]\n+app  the workers, from below them\n' >>"$tree/layers.txt"
run_check "$tree"
expect "rule pointing up: exit code" 1 "$code"
expect "rule pointing up: report" \
  "check_layers: layers.txt: [src/network/extra] allows +app, which is not below network in the order" \
  "$report"

tree=$(scratch_tree same_layer src/network/x.cc '#include "platform/file.h"')
printf '[src/app/extra]\n+app  its own folder, named\n' >>"$tree/layers.txt"
run_check "$tree"
expect "rule naming its own layer: exit code" 1 "$code"

tree=$(scratch_tree unordered src/network/x.cc '#include "platform/file.h"')
mkdir -p "$tree/src/plugins"
printf '[src/plugins]\n+platform  files\n' >>"$tree/layers.txt"
run_check "$tree"
expect "folder outside the order: exit code" 1 "$code"
expect "folder outside the order: report" \
  "check_layers: layers.txt: [src/plugins] names a folder the order does not have" "$report"

tree=$(scratch_tree no_order src/network/x.cc '#include "platform/file.h"')
sed -i '/^order:/d' "$tree/layers.txt"
run_check "$tree"
expect "table without an order: exit code" 1 "$code"

test_finish
