#!/usr/bin/env bash
# Every kind of text file opens with its text and is saved back byte for byte: a character typed
# and deleted leaves the original bytes; a character typed and kept is written in the file's own
# encoding, with its mark and line endings. Typing goes where the caret starts, past the end of the text.
. "$(dirname "$0")/lib.sh"
desktop_start
F="$T/files"
long="$(printf 'n%.0s' $(seq 1 96)).txt"   # a name of 100 characters
# name | bytes (printf format) | "undo" (x typed, then BackSpace) or the bytes expected once x is typed
cases=(
  "utf8.txt|caf\xc3\xa9\nline\n|undo"
  "mark.txt|\xef\xbb\xbfmarked\n|undo"
  "utf16le.txt|\xff\xfeh\0i\0\n\0|undo"
  "utf16be.txt|\xfe\xff\0h\0i\0\n|undo"
  "utf32.txt|\xff\xfe\0\0h\0\0\0\n\0\0\0|undo"
  "cr.txt|one\rtwo\r|undo"
  "crlf.txt|one\r\ntwo\r\n|undo"
  "nofinal.txt|one\ntwo|undo"
  "nul.txt|a\0b\n|undo"
  "data.json|{\"a\": 1}\n|undo"
  "notes.md|# Title\n|undo"
  "run.sh|#!/bin/sh\necho hi\n|undo"
  "main.c|int main(void) { return 0; }\n|undo"
  "README|read me\n|undo"
  "Привет.php|<?php echo 1; ?>\n|undo"
  "$long|long name\n|undo"
  "latin1.txt|caf\xe9|caf\xe9x"
  "stray.txt|caf\xc3\xa9 \xe9\n|undo"
  "wide-keep.txt|\xff\xfeh\0i\0|\xff\xfeh\0i\0x\0"
  "crlf-keep.txt|\xef\xbb\xbfa\r\nb|\xef\xbb\xbfa\r\nbx"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name bytes mode <<<"$c"
  printf "$bytes" > "$F/$name"
  if [ "$mode" = undo ]; then cp "$F/$name" "$T/expected"; else printf "$mode" > "$T/expected"; fi
  touch -d '2001-01-01 00:00' "$F/$name"   # any write changes its time
  stamp=$(file_stamp "$F/$name")
  note "$name"
  rm -rf "$T/config"/* "$T/state"/*   # each file on its own: no session of the one before
  qv_start "$F/$name"
  wait_window "$(printf '%s' "$name" | sed 's/[.[\*^$]/\\&/g')"
  type_text x
  [ "$mode" = undo ] && key BackSpace
  key ctrl+s
  wait_file_changed "$F/$name" "$stamp"
  qv_expect_alive "after saving $name"
  expect_bytes "$F/$name" "$T/expected"
  qv_quit
done
# A 1 MB line, opened, changed and saved back.
head -c 1048576 /dev/zero | tr '\0' 'a' > "$F/big.txt"
printf '\n' >> "$F/big.txt"
cp "$F/big.txt" "$T/expected"
touch -d '2001-01-01 00:00' "$F/big.txt"
stamp=$(file_stamp "$F/big.txt")
rm -rf "$T/config"/* "$T/state"/*
qv_start "$F/big.txt"
wait_window 'big\.txt'
type_text x
key BackSpace
key ctrl+s
wait_file_changed "$F/big.txt" "$stamp"
qv_expect_alive "after saving a 1 MB line"
expect_bytes "$F/big.txt" "$T/expected"
screenshot big >/dev/null
qv_quit
