<?php
// Walks a book's pages and prints what the program stores for the book:
//   #PAGE:<page title>|<page address>
//   #CHAPTER:<chapter title>|<page title>|<chapter address>
// Arguments (one word each): URL=<start page or folder: a path or a file://
// URL; a relative path is taken below the application's Resources folder>,
// Index:<n>=<a heading tag counted as a chapter, e.g. h2> (default h1, h2),
// Directory:<n>=<a folder whose pages are also walked>. Only local pages
// below the start page's folder or a given folder are followed. Problems go
// to standard error; the exit status is 1 when the start page cannot be read.

$start = '';
$tags = [];
$folders = [];
foreach (array_slice($argv, 1) as $word) {
    if (strncmp($word, 'URL=', 4) === 0) {
        $start = substr($word, 4);
    } elseif (preg_match('/^Index:\d+=(.*)$/s', $word, $m)) {
        $tags[] = strtolower(trim($m[1]));
    } elseif (preg_match('/^Directory:\d+=(.*)$/s', $word, $m)) {
        $folders[] = $m[1];
    }
}
if (!$tags) $tags = ['h1', 'h2'];

function local_path($address) {
    if (strncmp($address, 'file://', 7) === 0) return rawurldecode(substr($address, 7));
    return $address;
}

function file_url($path) {
    return 'file://' . implode('/', array_map('rawurlencode', explode('/', $path)));
}

// Names are keys of the book: no line breaks, no "|" or "/".
function clean($text) {
    $text = html_entity_decode(strip_tags($text), ENT_QUOTES | ENT_HTML5, 'UTF-8');
    $text = preg_replace('/\s+/u', ' ', $text);
    return trim(str_replace(['|', '/'], ['-', '-'], $text));
}

$startLocal = local_path($start);
if ($startLocal !== '' && $startLocal[0] !== '/') $startLocal = dirname(__DIR__) . '/Resources/' . $startLocal;
$startPath = realpath($startLocal);
if ($start === '' || $startPath === false || !is_readable($startPath)) {
    fwrite(STDERR, "webindexer: cannot read the start page \"$start\"\n");
    exit(1);
}
$roots = [is_dir($startPath) ? $startPath : dirname($startPath)];
foreach ($folders as $f) {
    $r = realpath(local_path($f));
    if ($r !== false && is_dir($r)) $roots[] = $r;
}

$queue = [];
if (is_dir($startPath)) {
    foreach (glob($startPath . '/*.{html,htm}', GLOB_BRACE) ?: [] as $p) $queue[] = $p;
} else {
    $queue[] = $startPath;
}
foreach (array_slice($roots, 1) as $r) {
    foreach (glob($r . '/*.{html,htm}', GLOB_BRACE) ?: [] as $p) $queue[] = $p;
}

$seen = [];
$tagPattern = implode('|', array_map(function ($t) { return preg_quote($t, '/'); }, $tags));
while ($queue) {
    $path = realpath(array_shift($queue));
    if ($path === false || isset($seen[$path])) continue;
    $inside = false;
    foreach ($roots as $r) if (strncmp($path, $r . '/', strlen($r) + 1) === 0) $inside = true;
    if (!$inside) continue;
    $seen[$path] = true;
    $html = @file_get_contents($path);
    if ($html === false) {
        fwrite(STDERR, "webindexer: cannot read \"$path\"\n");
        continue;
    }
    $title = preg_match('/<title[^>]*>(.*?)<\/title\s*>/is', $html, $m) ? clean($m[1]) : '';
    if ($title === '') $title = clean(basename($path));
    $url = file_url($path);
    echo "#PAGE:$title|$url\n";
    preg_match_all('/<(' . $tagPattern . ')\b([^>]*)>(.*?)<\/\1\s*>/is', $html, $heads, PREG_SET_ORDER);
    foreach ($heads as $h) {
        $name = clean($h[3]);
        if ($name === '') continue;
        $address = $url;
        if (preg_match('/\bid\s*=\s*["\']([^"\']+)["\']/i', $h[2], $id) ||
            preg_match('/<a\b[^>]*\b(?:name|id)\s*=\s*["\']([^"\']+)["\']/i', $h[3], $id)) {
            $address .= '#' . rawurlencode($id[1]);
        }
        echo "#CHAPTER:$name|$title|$address\n";
    }
    preg_match_all('/<a\b[^>]*\bhref\s*=\s*["\']([^"\'#?]+)[^"\']*["\']/i', $html, $links);
    foreach ($links[1] as $link) {
        if (preg_match('/^[a-z][a-z0-9+.-]*:/i', $link) && strncmp($link, 'file://', 7) !== 0) continue;
        $target = $link[0] === '/' ? local_path($link) : dirname($path) . '/' . rawurldecode(local_path($link));
        if (preg_match('/\.html?$/i', $target)) $queue[] = $target;
    }
}
exit(0);
