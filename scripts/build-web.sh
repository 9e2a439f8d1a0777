#!/usr/bin/env bash
# Builds build-web/tolvana.html: Tolvana as one web page that needs nothing
# else, no server and no network. The cipher (cipher/) and the reading of
# ".crp" and text files (storage/) are compiled to WebAssembly with Debian's
# emscripten and put into the page with its HTML, style and scripts (web/).
# Its messages are the program's catalogue (messages/).
#
# As root on Debian 12 it installs emscripten when it is missing.
# TOLVANA_WEB_BUILD sets another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${TOLVANA_WEB_BUILD:-$ROOT/build-web}

bash scripts/install-deps.sh emscripten python3

# Files of cipher/ that are not built for the page: those for one processor
# family or one system; the page takes the portable ones beside them.
CIPHER_SKIP=(hugepages_linux.cpp '*_x86*.cpp' '*avx*.cpp' '*sse*.cpp' '*neon*.cpp')
# What the page needs of storage/: the code page, the field files, the text
# files; its file system is web/platform_web.cpp.
STORAGE=(codepage.cpp files.cpp storageerror.cpp textfile.cpp)
EXPORTS=(tv_input tv_name tv_output tv_output_size tv_release tv_caption tv_out_of_memory
    tv_ran_out_of_memory tv_kryptera tv_dekryptera tv_save tv_check_file tv_other_type
    tv_open_cipher tv_import)

sources=()
for file in cipher/*.cpp; do
    skip=0
    for pattern in "${CIPHER_SKIP[@]}"; do
        # shellcheck disable=SC2053 # a pattern on purpose
        [[ $(basename "$file") == $pattern ]] && skip=1
    done
    ((skip)) || sources+=("$file")
done
for file in "${STORAGE[@]}"; do sources+=("storage/$file"); done
# The program's messages, all of them: the page says what the window says.
sources+=(messages/*.cpp)
sources+=(web/platform_web.cpp web/words.cpp web/binding.cpp)
echo "build-web: ${sources[*]}"

# Debian's emscripten runs its JavaScript tools with Node.js and needs
# Debian's Node.js modules (acorn), also where another Node.js comes first on
# PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
# The compiler's cache is Debian's, prebuilt and read-only.
export EM_FROZEN_CACHE=1

mkdir -p "$BUILD/core"
exports=$(printf ',_%s' "${EXPORTS[@]}")
# -include: the floating-point to_chars and from_chars that emscripten's
# libc++ 13 lacks, for the shared code's <charconv>.
# No exceptions are caught in the module: a command that runs out of memory
# ends there, and the page starts the core afresh (web/binding.cpp).
nice -n 10 em++ -std=c++20 -O2 -Wall -Wextra -Wpedantic \
    -include "$ROOT/web/charconv_float.h" -I"$ROOT" "${sources[@]}" \
    -o "$BUILD/core/core.js" --no-entry \
    -sMODULARIZE=1 -sEXPORT_NAME=TolvanaCore -sENVIRONMENT=web -sFILESYSTEM=0 \
    -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB -sDYNAMIC_EXECUTION=0 \
    -sEXPORTED_FUNCTIONS="${exports#,}" -sEXPORTED_RUNTIME_METHODS=[]

# The page's licence notices: Tolvana's own, with its version and the commit
# it is built from (as the program's About window has them), and those of
# emscripten's runtime, which the page carries.
version=$(sed -nE 's/^project\(Tolvana VERSION ([0-9.]+) .*/\1/p' CMakeLists.txt)
commit=okänd
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$ROOT" ]; then
    commit=$(git rev-parse HEAD)
fi
rule=$(printf '%s' "$version" | tr '0-9.' '=')
sed -e "s/@PROJECT_VERSION@/$version/; s/@TOLVANA_VERSION_RULE@/$rule/" \
    -e "s/@TOLVANA_COMMIT@/$commit/" licenses/00-tolvana.txt.in >"$BUILD/notices.txt"
printf '\n' >>"$BUILD/notices.txt"
cat licenses/40-emscripten.txt >>"$BUILD/notices.txt"

/usr/bin/python3 web/assemble.py --notices "$BUILD/notices.txt" web/page.html web/page.css \
    "$BUILD/core/core.wasm" "$BUILD/tolvana.html" "$BUILD/core/core.js" web/textbox.js web/page.js
