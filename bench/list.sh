#!/usr/bin/env bash
# Listing: `tarvik list ARCHIVE -r` reads the records and seeks over the data, so its time
# follows the number of records, not the archive's size.
#   1. An archive of about 1 GiB with many records (the /usr/include copy, about 9,400 records,
#      plus four pseudo-random files that make up the size), listed by `tarvik list -r`, next
#      to `unzip -l` of a zip -6 archive of the same folder.
#   2. `tarvik list -r` as the archive grows: the same records with the random files making it
#      128, 256, 512 and 1024 MiB (and the records alone), then 1024 MiB with twice the records.
#   3. Many entries: 100,000 empty files in 51 folders (as bench/browser.sh makes them), listed
#      by `tarvik list -r` next to `unzip -l` of a zip -6 of the same folder; tarvik's peak
#      memory must stay under BENCH_RSS_LIMIT_MIB (64): the table's memory is bounded whatever
#      the number of rows (past about 4 MiB of text the rows come from a second walk).
# With QUICK=1: the c++ and linux folders of /usr/include, sizes of 32 to 256 MiB, 20,000
# entries. Exits non-zero when tarvik goes over the memory limit.
# Wall time is the best of 11 runs (5 with QUICK=1; BENCH_REPS to change). CPU time is shown
# but too coarse (10 ms) for runs this short. Everything on a tmpfs.
# shellcheck source=bench/common.bash
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"

if [ "$QUICK" = 1 ]; then
  sizes=(32 64 128 256)
  REPS=${BENCH_REPS:-5}
else
  sizes=(128 256 512 1024)
  REPS=${BENCH_REPS:-11}
fi
top=${sizes[-1]}
limit_mib=${BENCH_RSS_LIMIT_MIB:-64}

work=$BENCH_TMP/list
mkdir -p "$work"
# At the most: the archives of the growth series (about 3.9 times the largest) and the random files.
need_kib=$(((top * 5 + 512) * 1024))
if [ "$(free_kib "$work")" -lt "$need_kib" ]; then
  say "list.sh: SKIPPED: the tmpfs (or the memory behind it) lacks $((need_kib / 1024)) MiB"
  exit 0
fi

start=$EPOCHREALTIME
inc=$(include_copy)
say "Records: a copy of /usr/include$([ "$QUICK" = 1 ] && echo " (c++ and linux only)"):" \
  "$(tree_files "$inc") files, $(mib "$(tree_bytes "$inc")") MiB"

# records_in LISTING: the records a `tarvik list` output shows (its first line is the header).
records_in() { echo $(($(wc -l <"$1") - 1)); }

# make_archive NAME SIZE_MIB COPIES: $work/NAME/a.kzv holding COPIES copies of the include
# folder and four pseudo-random files filling the archive up to SIZE_MIB (none when SIZE_MIB is
# 0). The random files are removed once packed unless KEEP_FILL=1 (list_peer zips them too).
base_bytes=0
make_archive() {
  local name=$1 size=$2 copies=$3 d=$work/$1 c fill i
  rm -rf "$d"
  mkdir -p "$d"
  for ((c = 1; c <= copies; c++)); do link_tree "$inc" "$d/inc$c"; done
  local items=()
  for ((c = 1; c <= copies; c++)); do items+=("inc$c"); done
  if [ "$size" -gt 0 ]; then
    fill=$(((size * MiB - copies * base_bytes) / 4))
    if [ "$fill" -gt 0 ]; then
      mkdir -p "$d/fill"
      for i in 1 2 3 4; do
        random_stream | head -c "$fill" >"$d/fill/random$i.bin"
      done
      items+=(fill)
    fi
  fi
  (cd "$d" && "$TV" pack -n a "${items[@]}" >/dev/null) || {
    echo "list.sh: tarvik pack failed in $d" >&2
    return 1
  }
  if [ "${KEEP_FILL:-0}" != 1 ]; then rm -rf "$d/fill"; fi
}

# The records alone first: their archive size is what the random files leave to fill.
say "Packing the archives (untimed)..."
make_archive records 0 1
base_bytes=$(size_of "$work/records/a.kzv")

# 1. The largest archive, against unzip -l of a zip of the same folder.
KEEP_FILL=1 make_archive "s$top" "$top" 1
(cd "$work/s$top" && zip -6 -r -q a.zip inc1 fill)
rm -rf "$work/s$top/fill"
cd "$work/s$top" || exit 1
compare ":" "$(printf '%q ' "$TV" list a.kzv -r)" ":" "$(printf '%q ' unzip -l a.zip)"
cd - >/dev/null || exit 1
# Records as each program shows them (one more run, untimed, to count).
tv_records=$("$TV" list "$work/s$top/a.kzv" -r | tail -n +2 | wc -l)
zip_records=$(unzip -Z1 "$work/s$top/a.zip" | wc -l)
kzv_size=$(size_of "$work/s$top/a.kzv")
zip_size=$(size_of "$work/s$top/a.zip")
echo
say "1. Listing a $(mib "$kzv_size") MiB archive of $tv_records records, tarvik against unzip"
say "   (each $REPS times in turn; wall and CPU the best run, peak memory the largest; $CMP_LOAD)"
printf '%-17s %11s %8s %8s %8s %9s %14s\n' "program" "archive MiB" "records" "wall s" \
  "CPU s" "peak MiB" "µs per record"
hr
printf '%-17s %11s %8s %8.3f %8.2f %9s %14s\n' "tarvik list -r" "$(mib "$kzv_size")" \
  "$tv_records" "$A_WALL" "$A_CPU" "$(fmt %.1f "$A_RSS / 1024")" \
  "$(fmt %.1f "$A_WALL * 1e6 / $tv_records")"
printf '%-17s %11s %8s %8.3f %8.2f %9s %14s\n' "unzip -l" "$(mib "$zip_size")" \
  "$zip_records" "$B_WALL" "$B_CPU" "$(fmt %.1f "$B_RSS / 1024")" \
  "$(fmt %.1f "$B_WALL * 1e6 / $zip_records")"
printf '%-17s %11s %8s %8s %8s %9s %14s\n' "tarvik/unzip" "$(ratio "$kzv_size" "$zip_size")" \
  "$(ratio "$tv_records" "$zip_records")" "$(ratio "$A_WALL" "$B_WALL")" \
  "$(ratio "$A_CPU" "$B_CPU")" "$(ratio "$A_RSS" "$B_RSS")" ""
hr
peer_line="tarvik list -r x$(ratio "$A_WALL" "$B_WALL") the time of unzip -l ($(fmt %.3f "$A_WALL") s vs $(fmt %.3f "$B_WALL") s), peak memory x$(ratio "$A_RSS" "$B_RSS") ($(fmt %.1f "$A_RSS / 1024") vs $(fmt %.1f "$B_RSS / 1024") MiB) on a $(mib "$kzv_size") MiB archive of $tv_records records"
rm -f "$work/s$top/a.zip"

# 2. Growth.
for s in "${sizes[@]}"; do
  [ "$s" = "$top" ] || make_archive "s$s" "$s" 1
done
make_archive "d$top" "$top" 2

# Every archive in turn, $REPS rounds, so that a change in the machine's load falls on all.
names=(records "${sizes[@]/#/s}" "d$top")
declare -A walls cpus rss_of wall_of rec_of
for ((i = 0; i < REPS; i++)); do
  for name in "${names[@]}"; do
    cd "$work/$name" || exit 1
    run_once "$TV" list a.kzv -r
    walls[$name]+=" $R_WALL"
    cpus[$name]+=" $R_CPU"
    if [ "$R_RSS" -gt "${rss_of[$name]:-0}" ]; then rss_of[$name]=$R_RSS; fi
    [ $i -gt 0 ] || rec_of[$name]=$(records_in "$BENCH_TMP/.log")
    cd - >/dev/null || exit 1
  done
done

echo
say "2. tarvik list -r as the archive grows ($REPS rounds over all the archives; wall and CPU"
say "   the best run, peak memory the largest). Ratios are against the first row (the records"
say "   alone). Load $(loadavg)."
printf '%-26s %11s %8s %8s %8s %9s %8s %8s\n' "archive" "archive MiB" "records" "wall s" \
  "CPU s" "peak MiB" "x size" "x time"
hr
first_size="" first_wall=""
for name in "${names[@]}"; do
  # shellcheck disable=SC2086 # the lists of times split on purpose
  wall=$(best ${walls[$name]})
  # shellcheck disable=SC2086
  cpu=$(best ${cpus[$name]})
  wall_of[$name]=$wall
  size=$(size_of "$work/$name/a.kzv")
  if [ -z "$first_size" ]; then
    first_size=$size first_wall=$wall
  fi
  case $name in
    records) label="records alone" ;;
    d*) label="twice the records" ;;
    *) label="same records + random" ;;
  esac
  printf '%-26s %11s %8s %8.3f %8.2f %9s %8s %8s\n' "$label" "$(mib "$size")" "${rec_of[$name]}" \
    "$wall" "$cpu" "$(fmt %.1f "${rss_of[$name]} / 1024")" "$(ratio "$size" "$first_size")" \
    "$(ratio "$wall" "$first_wall")"
done
rm -rf "${names[@]/#/$work/}"
hr

# 3. Many entries, against unzip -l.
if [ "$QUICK" = 1 ]; then
  flat=10000 folders=10
else
  flat=50000 folders=50
fi
per_folder=1000
many=$work/many
say "Packing $((flat + folders * per_folder)) empty files in $((folders + 1)) folders (untimed)..."
many_empty_files "$many" "$flat" "$folders" "$per_folder"
(cd "$many" && "$TV" pack -n a flat d[0-9]* >/dev/null && zip -6 -r -q a.zip flat d[0-9]*)
rm -rf "$many/flat" "$many"/d[0-9]*
cd "$many" || exit 1
compare ":" "$(printf '%q ' "$TV" list a.kzv -r)" ":" "$(printf '%q ' unzip -l a.zip)"
cd - >/dev/null || exit 1
many_tv=$("$TV" list "$many/a.kzv" -r | tail -n +2 | wc -l)
many_zip=$(unzip -Z1 "$many/a.zip" | wc -l)
if [ "$A_RSS" -le $((limit_mib * 1024)) ]; then verdict=pass; else verdict="FAIL (over $limit_mib MiB)"; fi
echo
say "3. Listing an archive of $many_tv entries, tarvik against unzip"
say "   (each $REPS times in turn; wall and CPU the best run, peak memory the largest; $CMP_LOAD)"
printf '%-17s %11s %8s %8s %8s %9s %14s\n' "program" "archive MiB" "records" "wall s" \
  "CPU s" "peak MiB" "µs per record"
hr
printf '%-17s %11s %8s %8.3f %8.2f %9s %14s\n' "tarvik list -r" "$(mib "$(size_of "$many/a.kzv")")" \
  "$many_tv" "$A_WALL" "$A_CPU" "$(fmt %.1f "$A_RSS / 1024")" \
  "$(fmt %.2f "$A_WALL * 1e6 / $many_tv")"
printf '%-17s %11s %8s %8.3f %8.2f %9s %14s\n' "unzip -l" "$(mib "$(size_of "$many/a.zip")")" \
  "$many_zip" "$B_WALL" "$B_CPU" "$(fmt %.1f "$B_RSS / 1024")" \
  "$(fmt %.2f "$B_WALL * 1e6 / $many_zip")"
printf '%-17s %11s %8s %8s %8s %9s %14s\n' "tarvik/unzip" \
  "$(ratio "$(size_of "$many/a.kzv")" "$(size_of "$many/a.zip")")" \
  "$(ratio "$many_tv" "$many_zip")" "$(ratio "$A_WALL" "$B_WALL")" \
  "$(ratio "$A_CPU" "$B_CPU")" "$(ratio "$A_RSS" "$B_RSS")" ""
hr
many_line="tarvik list -r x$(ratio "$A_WALL" "$B_WALL") the time of unzip -l ($(fmt %.3f "$A_WALL") s vs $(fmt %.3f "$B_WALL") s), peak memory $(fmt %.1f "$A_RSS / 1024") MiB vs $(fmt %.1f "$B_RSS / 1024") MiB on $many_tv entries: under $limit_mib MiB: $verdict"
rm -rf "$many"

small=s${sizes[0]}
echo
say "Summary:"
note "$peer_line"
note "archive ${sizes[0]} -> $top MiB ($(calc "$top / ${sizes[0]}")x the size), same ${rec_of[$small]} records:" \
  "time x$(ratio "${wall_of[s$top]}" "${wall_of[$small]}") ($(fmt %.3f "${wall_of[$small]}") s -> $(fmt %.3f "${wall_of[s$top]}") s)"
note "$top MiB, records ${rec_of[s$top]} -> ${rec_of[d$top]} (x$(ratio "${rec_of[d$top]}" "${rec_of[s$top]}")):" \
  "time x$(ratio "${wall_of[d$top]}" "${wall_of[s$top]}") ($(fmt %.3f "${wall_of[s$top]}") s -> $(fmt %.3f "${wall_of[d$top]}") s)"
note "$many_line"
say "list.sh took $(fmt %.0f "$EPOCHREALTIME - $start") s (most of it packing the archives)"
[ "$verdict" = pass ]
