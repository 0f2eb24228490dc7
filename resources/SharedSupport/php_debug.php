<?php
// Runs a PHP script for the editor's debug run and writes what went wrong
// as an XML log, php_errors.log in the program's log folder (QUORVEL_LOG_DIR).
// The log is written only when there is something to report: an existing
// log with data makes the editor show its errors instead of the page.
//
// Usage: php php_debug.php [arguments...] source_file="/path/to/script.php"

$__qv_source = null;
$__qv_arguments = array();
foreach (array_slice($argv, 1) as $__qv_argument) {
    if (strncmp($__qv_argument, 'source_file=', 12) === 0) {
        $__qv_source = substr($__qv_argument, 12);
    } else {
        $__qv_arguments[] = $__qv_argument;
    }
}

$__qv_errors = array();
$__qv_classes_before = get_declared_classes();

function __qv_type_name($type)
{
    switch ($type) {
        case E_WARNING: case E_CORE_WARNING: case E_COMPILE_WARNING:
            return 'Warning';
        case E_NOTICE: case E_DEPRECATED:
            return 'Notice';
        case E_USER_ERROR:
            return 'User Error';
        case E_USER_WARNING: case E_USER_NOTICE: case E_USER_DEPRECATED:
            return 'User Notice';
        case E_PARSE:
            return 'Parse Error';
        case E_ERROR: case E_CORE_ERROR: case E_COMPILE_ERROR: case E_RECOVERABLE_ERROR:
            return 'Fatal Error';
    }
    return 'Error';
}

function __qv_value($value)
{
    if (is_object($value)) return get_class($value) . ' object';
    if (is_array($value)) return 'array(' . count($value) . ')';
    if (is_resource($value)) return 'resource';
    if ($value === null) return 'NULL';
    if (is_bool($value)) return $value ? 'true' : 'false';
    $text = (string)$value;
    return strlen($text) > 200 ? substr($text, 0, 200) . '...' : $text;
}

// The frames of a backtrace that belong to the script, not to this wrapper.
function __qv_frames($trace)
{
    $frames = array();
    foreach ($trace as $frame) {
        $function = isset($frame['function']) ? $frame['function'] : '';
        if (strncmp($function, '__qv_', 5) === 0) continue;
        if (isset($frame['file']) && $frame['file'] === __FILE__) continue;
        if (in_array($function, array('include', 'require', 'include_once', 'require_once'))) continue;
        if (isset($frame['class'])) $function = $frame['class'] . $frame['type'] . $function;
        $frames[] = array(
            'function' => $function,
            'file' => isset($frame['file']) ? $frame['file'] : '',
            'line' => isset($frame['line']) ? $frame['line'] : 0,
            'args' => isset($frame['args']) ? $frame['args'] : array(),
        );
    }
    return $frames;
}

function __qv_record($type, $message, $file, $line, $trace, $locals)
{
    global $__qv_errors;
    $__qv_errors[] = array('type' => $type, 'message' => $message, 'file' => $file, 'line' => $line,
                           'frames' => __qv_frames($trace), 'locals' => $locals);
}

set_error_handler(function ($number, $message, $file, $line) {
    if (!(error_reporting() & $number)) return false;
    // The first frame is this handler's own.
    $trace = array_slice(debug_backtrace(DEBUG_BACKTRACE_PROVIDE_OBJECT), 1);
    __qv_record(__qv_type_name($number), $message, $file, $line, $trace, array());
    return false;  // the message still reaches the output
});

function __qv_attribute($value)
{
    return htmlspecialchars((string)$value, ENT_QUOTES | ENT_XML1 | ENT_SUBSTITUTE, 'UTF-8');
}

function __qv_write_log()
{
    global $__qv_errors, $__qv_classes_before;
    $fatal = error_get_last();
    if ($fatal !== null && in_array($fatal['type'], array(E_ERROR, E_PARSE, E_CORE_ERROR, E_COMPILE_ERROR))) {
        __qv_record(__qv_type_name($fatal['type']), $fatal['message'], $fatal['file'], $fatal['line'], array(), array());
    }
    if (count($__qv_errors) == 0) return;  // nothing to report: no log at all

    $xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<php_errors>\n";
    foreach ($__qv_errors as $error) {
        $xml .= '<debugtrace type="' . __qv_attribute($error['type']) . '" message="' . __qv_attribute($error['message'])
              . '" file="' . __qv_attribute($error['file']) . '" line="' . (int)$error['line'] . "\">\n";
        $xml .= "<stacktrace>\n";
        foreach ($error['frames'] as $frame) {
            $xml .= '<entry function="' . __qv_attribute($frame['function']) . '" file="' . __qv_attribute($frame['file'])
                  . '" line="' . (int)$frame['line'] . "\">\n";
            foreach ($frame['args'] as $index => $argument) {
                $xml .= '<element name="' . __qv_attribute('arg' . $index) . '" value="'
                      . __qv_attribute(__qv_value($argument)) . "\"/>\n";
            }
            $xml .= "</entry>\n";
        }
        $xml .= "</stacktrace>\n<localstack>\n";
        foreach ($error['locals'] as $name => $value) {
            $xml .= '<element name="' . __qv_attribute($name) . '" value="' . __qv_attribute(__qv_value($value)) . "\"/>\n";
        }
        $xml .= "</localstack>\n</debugtrace>\n";
    }

    // The script's own classes: their methods and variables, and their tree.
    $classes = array_diff(get_declared_classes(), $__qv_classes_before);
    $children = array();
    foreach ($classes as $class) {
        $reflection = new ReflectionClass($class);
        if (!$reflection->isUserDefined()) continue;
        $xml .= '<class_description name="' . __qv_attribute($class) . "\">\n<class_methods>\n";
        foreach ($reflection->getMethods() as $method) {
            $xml .= '<entry function="' . __qv_attribute($method->getName()) . '" file="'
                  . __qv_attribute($method->getFileName()) . '" line="' . (int)$method->getStartLine() . "\"/>\n";
        }
        $xml .= "</class_methods>\n<class_instance_vars>\n";
        foreach ($reflection->getDefaultProperties() as $name => $value) {
            $xml .= '<element name="' . __qv_attribute($name) . '" value="' . __qv_attribute(__qv_value($value)) . "\"/>\n";
        }
        $xml .= "</class_instance_vars>\n<class_ancestry>\n";
        for ($parent = $reflection->getParentClass(); $parent; $parent = $parent->getParentClass()) {
            $xml .= '<class_node name="' . __qv_attribute($parent->getName()) . "\"/>\n";
        }
        $xml .= "</class_ancestry>\n</class_description>\n";
        $parent = $reflection->getParentClass();
        $children[$parent ? $parent->getName() : ''][] = $class;
    }
    $tree = function ($name) use (&$tree, $children) {
        $out = '<class_node name="' . __qv_attribute($name) . "\">\n";
        if (isset($children[$name])) foreach ($children[$name] as $child) $out .= $tree($child);
        return $out . "</class_node>\n";
    };
    if (isset($children[''])) foreach ($children[''] as $root) $xml .= $tree($root);
    $xml .= "</php_errors>\n";

    $folder = getenv('QUORVEL_LOG_DIR');
    if ($folder === false || $folder === '') return;
    @file_put_contents($folder . '/php_errors.log', $xml);
}

register_shutdown_function('__qv_write_log');

if ($__qv_source === null) {
    fwrite(STDERR, "php_debug.php: no source_file given\n");
    exit(1);
}

$argv = array_merge(array($__qv_source), $__qv_arguments);
$argc = count($argv);
$_SERVER['argv'] = $argv;
$_SERVER['argc'] = $argc;
$_SERVER['SCRIPT_FILENAME'] = $__qv_source;
chdir(dirname($__qv_source));

try {
    (function () use ($__qv_source) { require $__qv_source; })();
} catch (Throwable $exception) {
    __qv_record($exception instanceof ParseError ? 'Parse Error' : 'Fatal Error',
                'Uncaught ' . get_class($exception) . ': ' . $exception->getMessage(),
                $exception->getFile(), $exception->getLine(), $exception->getTrace(), array());
    echo 'Uncaught ' . get_class($exception) . ': ' . $exception->getMessage() . "\n";
}
