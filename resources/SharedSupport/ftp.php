<?php
// Creates, deletes, renames and moves files and folders on an FTP server for
// the FTP browser. Each argument is one key=value word:
//
//   php ftp.php server=HOST[:PORT] user=NAME password=SECRET file=/PATH
//               [where=/FOLDER | name=NEWNAME] action=ACTION
//
// ACTION is mkfile, mkdir, delete, rmdir, move (file into the folder where)
// or rename (file to name, in its folder). Paths start with "/" and name
// places under the folder the login starts in, as the program's ftp:// URLs
// do (on a server that logs a user into /home/anna, "/www/a.php" is
// /home/anna/www/a.php). On success the last line is the number 0; on failure a line
// saying what went wrong comes first, then a number line (the exit status).
// The password may come from the environment (QUORVEL_FTP_PASSWORD) instead,
// so that it need not appear in the process list.

function fail($message, $status = 1)
{
    echo $message, "\n", $status, "\n";
    exit($status);
}

// The server's own words for the last failure, after the function's name.
function reason()
{
    $error = error_get_last();
    if ($error === null) {
        return '';
    }
    $text = preg_replace('/^ftp_\w+\(\): /', '', $error['message']);
    return ': ' . rtrim($text, '.') . '.';
}

function joined($folder, $name)
{
    return rtrim($folder, '/') . '/' . $name;
}

// Whether something (a file or a folder) is at the path.
function exists($connection, $path)
{
    if (@ftp_size($connection, $path) >= 0) {
        return true;
    }
    $here = @ftp_pwd($connection);
    if (@ftp_chdir($connection, $path)) {
        if ($here !== false) {
            @ftp_chdir($connection, $here);
        }
        return true;
    }
    return false;
}

$arguments = array();
foreach (array_slice($argv, 1) as $word) {
    $equals = strpos($word, '=');
    if ($equals !== false) {
        $arguments[substr($word, 0, $equals)] = substr($word, $equals + 1);
    }
}
$get = function ($key) use ($arguments) {
    return isset($arguments[$key]) ? $arguments[$key] : '';
};

if (!function_exists('ftp_connect')) {
    fail("PHP's FTP extension is not installed (php-ftp).", 2);
}

$server = $get('server');
$user = $get('user');
$password = $get('password');
if ($password === '' && getenv('QUORVEL_FTP_PASSWORD') !== false) {
    $password = getenv('QUORVEL_FTP_PASSWORD');
}
$file = $get('file');
$action = $get('action');

$host = $server;
$port = 21;
if (preg_match('/^([^:\[\]]+):(\d+)$/', $server, $parts)) {
    $host = $parts[1];
    $port = (int)$parts[2];
} elseif (preg_match('/^\[(.+)\](?::(\d+))?$/', $server, $parts)) {
    $host = $parts[1];
    if (isset($parts[2]) && $parts[2] !== '') {
        $port = (int)$parts[2];
    }
}
if ($host === '') {
    fail('No server was given.', 2);
}
if ($file === '' || $file[0] !== '/') {
    fail("The path \"$file\" is not a path on the server.", 2);
}

$connection = @ftp_connect($host, $port, 30);
if ($connection === false) {
    fail("Could not connect to $host" . reason(), 3);
}
if ($user === '') {
    $user = 'anonymous';
}
if (!@ftp_login($connection, $user, $password)) {
    fail("The server $host refused the login of $user" . reason(), 4);
}
ftp_pasv($connection, true);

// The paths given are under the login folder; the server's own paths are
// made from it, so that nothing outside it is touched.
$home = @ftp_pwd($connection);
$home = ($home === false) ? '' : rtrim($home, '/');
$onServer = function ($path) use ($home) {
    return $home . $path;
};
$shown = $file;
$file = $onServer($file);

$ok = false;
switch ($action) {
    case 'mkfile':
        // A new file never replaces one that is there.
        if (exists($connection, $file)) {
            fail("\"$shown\" already exists.", 5);
        }
        $empty = fopen('php://memory', 'r');
        $ok = @ftp_fput($connection, $file, $empty, FTP_BINARY);
        fclose($empty);
        $what = "create the file $shown";
        break;
    case 'mkdir':
        $ok = @ftp_mkdir($connection, $file) !== false;
        $what = "create the folder $shown";
        break;
    case 'delete':
        $ok = @ftp_delete($connection, $file);
        $what = "delete $shown";
        break;
    case 'rmdir':
        $ok = @ftp_rmdir($connection, $file);
        $what = "delete the folder $shown";
        break;
    case 'move':
        $where = $get('where');
        if ($where === '' || $where[0] !== '/') {
            fail("The folder \"$where\" is not a path on the server.", 2);
        }
        $target = joined($onServer($where), basename($file));
        if (exists($connection, $target)) {
            fail("\"" . joined($where, basename($file)) . "\" already exists.", 5);
        }
        $ok = @ftp_rename($connection, $file, $target);
        $what = "move $shown to $where";
        break;
    case 'rename':
        $name = $get('name');
        if ($name === '' || strpos($name, '/') !== false || $name === '.' || $name === '..') {
            fail("\"$name\" cannot be the name of a file.", 2);
        }
        $target = joined(dirname($file), $name);
        if (exists($connection, $target)) {
            fail("\"" . joined(dirname($shown), $name) . "\" already exists.", 5);
        }
        $ok = @ftp_rename($connection, $file, $target);
        $what = "rename $shown to $name";
        break;
    default:
        fail("Unknown server operation \"$action\".", 2);
}
if (!$ok) {
    fail("Could not $what" . reason(), 6);
}
@ftp_close($connection);
echo "0\n";
exit(0);
