#!/usr/bin/env bash
# Preview > Preview on Localhost of a page in a user's web folder (/…/home/alice/public_html) asks
# the local web server (http://localhost/~alice/…, here python's http.server on 127.0.0.1:80 over a
# folder laid out as "~alice/…") for it and shows what it serves. Skipped when port 80 cannot be
# bound here.
. "$(dirname "$0")/lib.sh"
QV_TEST=preview-localhost
desktop_start
site="$T/root/home/alice/public_html"
mkdir -p "$site/docs"
printf '<html><head><title>local file</title></head><body>not served</body></html>\n' >"$site/docs/page one.html"
www="$T/www"
mkdir -p "$www/~alice/docs"
printf '<html><head><title>From localhost</title></head><body style="background:#fff"><h1>Served on localhost</h1></body></html>\n' \
  >"$www/~alice/docs/page one.html"
(cd "$www" && exec /usr/bin/python3 -m http.server --bind 127.0.0.1 80) >"$T/http.log" 2>&1 &
HTTP_PID=$!
trap 'kill "$HTTP_PID" 2>/dev/null; _qv_cleanup' EXIT
if ! wait_until 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/80" 2>/dev/null || ! kill -0 "$HTTP_PID" 2>/dev/null; then
  echo "SKIP: port 80 cannot be bound here ($(tail -n1 "$T/http.log"))"
  exit 0
fi
qv_start "$site/docs/page one.html"
wait_window '^page one\.html$'
# Preview on Localhost is the third item that can be chosen (Preview, from Disk, on Localhost).
menu_pick 5 3 menu
wait_window '^From localhost$'
grep -q 'GET /~alice/docs/page%20one.html' "$T/http.log" || fail "localhost was not asked for the page: $(cat "$T/http.log")"
sleep 0.5
screenshot served >/dev/null
qv_expect_alive "after the localhost preview"
qv_kill
