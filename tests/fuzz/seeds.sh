# The first inputs of the fuzzers; sourced by scripts/test and scripts/fuzz, run from the
# source folder.

# make_link_seeds FOLDER: TARs with links (GNU and pax): symbolic ones inside, out of the
# destination and with a long target, a hard link, and a member behind a link.
make_link_seeds() {
  local out work format long
  out=$(cd "$1" && pwd)
  work=$out/work
  rm -rf "$work"
  mkdir -p "$work/sub"
  long=sub/$(printf 'x%.0s' {1..120})
  printf 'text\n' > "$work/a.txt"
  printf 'behind\n' > "$work/behind.txt"
  ln "$work/a.txt" "$work/b.txt"
  ln -s sub "$work/in"
  ln -s ../outside "$work/up"
  ln -s "$long" "$work/long"
  find "$work" -exec touch -h -d '2021-03-04 05:06:08' {} +
  for format in gnu pax; do
    (cd "$work" && tar --format=$format -cf "$out/links-$format.tar" a.txt b.txt sub in up long &&
      tar --format=$format -rf "$out/links-$format.tar" --transform='s|^behind.txt$|in/behind.txt|' behind.txt)
  done
  rm -rf "$work"
}

# zipcrypto_prefix MODE: a zipcrypto input up to the member's data: the mode byte (1 Deflate,
# 2 Deflate64, 0 stored; +4 sizes in a data descriptor), the password's length and bytes,
# 11 header bytes.
zipcrypto_prefix() { printf "\\$(printf '%03o' "$1")\\013open sesame0123456789a"; }

# make_fuzz_seeds FOLDER: the seeds no fixture gives, into FOLDER/NAME: the TARs with links
# (in FOLDER/tar, for every TAR fuzzer); for zipcrypto the raw streams of the inflate seeds
# (behind their 5-byte prefix, whose first bit says Deflate64) and a stored text, with and
# without a descriptor, with and without a password.
make_fuzz_seeds() {
  local out=$1/zipcrypto seed mode
  mkdir -p "$1/tar" "$out"
  make_link_seeds "$1/tar"
  for seed in tests/fuzz/seeds/inflate/*; do
    mode=$(( $(od -An -tu1 -N1 "$seed") & 1 ? 2 : 1 ))
    { zipcrypto_prefix "$mode"; tail -c +6 "$seed"; } > "$out/$(basename "$seed")"
    { zipcrypto_prefix $((mode + 4)); tail -c +6 "$seed"; } > "$out/$(basename "$seed")-descriptor"
  done
  { zipcrypto_prefix 0; printf 'stored text, stored text\n'; } > "$out/stored"
  { zipcrypto_prefix 4; printf 'stored text, stored text\n'; } > "$out/stored-descriptor"
  { printf '\000\000'; printf '0123456789astored text\n'; } > "$out/no-password"
}

# fuzz_seeds NAME FIXTURES MADE: the seed files of fuzzer NAME (its binary's name without
# _fuzz), one path a line. Archive fuzzers take the archives of their format that the
# fixture scripts made for the native tests (TAR and QBX at the top, ZIP and GZ in zipgz/
# and inflate/, long names in names/, sparse files in sparse/, ZIPs behind a stub in
# zipsfx/); every fuzzer also takes MADE/NAME (make_fuzz_seeds) and tests/fuzz/seeds/NAME.
fuzz_seeds() {
  local name=$1 fixtures=$2 made=$3
  local seeds=()
  shopt -s nullglob
  case "$name" in
    zipcrypto) ;;
    # Any bytes are data to encode: text, archives, and Deflate streams that hardly compress.
    deflate) seeds=("$fixtures"/*.tar "$fixtures"/*.qbx "$fixtures"/zipgz/*.gz) ;;
    tar*) seeds=("$fixtures"/*.tar "$fixtures"/names/*.tar "$fixtures"/sparse/*.tar "$made"/tar/*) ;;
    qbx*) seeds=("$fixtures"/*.qbx) ;;
    zip*) seeds=("$fixtures"/zipgz/*.zip "$fixtures"/zipgz/*.epub "$fixtures"/inflate/*.zip "$fixtures"/names/*.zip
           "$fixtures"/zipsfx/*.exe) ;;
    gz*) seeds=("$fixtures"/zipgz/*.gz "$fixtures"/zipgz/*.tgz "$fixtures"/inflate/*.gz "$fixtures"/names/*.gz) ;;
  esac
  seeds+=("$made/$name"/* tests/fuzz/seeds/"$name"/*)
  shopt -u nullglob
  [ ${#seeds[@]} -eq 0 ] || printf '%s\n' "${seeds[@]}"
}

# seed_corpus NAME FIXTURES MADE CORPUS: copies the seeds into the corpus folder, each named
# after its folder too (zipgz/ and inflate/ both hold an infozip.zip); false without seeds.
seed_corpus() {
  local corpus=$4 seed copy
  local seeds=()
  mapfile -t seeds < <(fuzz_seeds "$1" "$2" "$3")
  [ ${#seeds[@]} -gt 0 ] || return 1
  mkdir -p "$corpus"
  for seed in "${seeds[@]}"; do
    copy="$corpus/$(basename "$(dirname "$seed")")-$(basename "$seed")"
    [ -e "$copy" ] || cp "$seed" "$copy"
  done
  echo "${#seeds[@]}"
}
