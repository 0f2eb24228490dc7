"""PHP. Parsed inside HTML (its root language); the PHP library is in force
between the open and close tags that HTML files embed."""
from builder import Language, LINE, CR, SYMBOL

CONTROL = """abstract and array as break callable case catch class clone const continue
declare default die do echo else elseif empty enddeclare endfor endforeach endif
endswitch endwhile enum eval exit extends final finally fn for foreach function
global goto if implements include include_once instanceof insteadof interface
isset list match namespace new or print private protected public readonly
require require_once return static switch throw trait try unset use var while
xor yield parent self default:""".split()

CONSTANTS = """true false null __class__ __dir__ __file__ __function__ __line__
__method__ __namespace__ __trait__ __compiler_halt_offset__ php_eol php_version
php_major_version php_minor_version php_release_version php_os php_os_family
php_int_max php_int_min php_int_size php_float_epsilon php_float_max
php_float_min php_maxpathlen directory_separator path_separator default_include_path
e_all e_error e_warning e_parse e_notice e_strict e_deprecated e_core_error
e_core_warning e_compile_error e_compile_warning e_user_error e_user_warning
e_user_notice e_user_deprecated e_recoverable_error m_pi m_e m_sqrt2 inf nan
sort_regular sort_numeric sort_string sort_flag_case count_recursive
json_pretty_print json_unescaped_slashes json_unescaped_unicode json_throw_on_error
preg_split_no_empty preg_pattern_order preg_set_order ent_quotes ent_html5
file_append lock_ex lock_sh lock_un seek_set seek_cur seek_end
stdin stdout stderr""".split()

SUPERGLOBALS = """$globals $_server $_get $_post $_files $_cookie $_session
$_request $_env $http_raw_post_data $argv $argc""".split()

FUNCTIONS = """
strlen strtolower strtoupper ucfirst ucwords lcfirst trim ltrim rtrim str_replace
str_ireplace substr substr_count substr_replace strpos stripos strrpos strripos
strstr stristr strrchr str_contains str_starts_with str_ends_with str_pad
str_repeat str_split strrev str_word_count wordwrap nl2br htmlspecialchars
htmlspecialchars_decode htmlentities html_entity_decode strip_tags addslashes
stripslashes addcslashes stripcslashes quotemeta chunk_split sprintf printf
vsprintf vprintf fprintf sscanf number_format money_format implode explode join
strcmp strcasecmp strncmp strncasecmp strnatcmp strnatcasecmp similar_text
levenshtein soundex metaphone md5 md5_file sha1 sha1_file crc32 hash hash_hmac
hash_file password_hash password_verify base64_encode base64_decode bin2hex
hex2bin urlencode urldecode rawurlencode rawurldecode http_build_query
parse_url parse_str uniqid lcg_value nl_langinfo setlocale localeconv ord chr
mb_strlen mb_substr mb_strtolower mb_strtoupper mb_strpos mb_str_split
mb_convert_encoding mb_internal_encoding iconv utf8_encode utf8_decode
count sizeof in_array array_search array_keys array_values array_merge
array_merge_recursive array_combine array_flip array_slice array_splice
array_map array_filter array_reduce array_walk array_walk_recursive array_key_exists
key_exists array_key_first array_key_last array_push array_pop array_shift
array_unshift array_reverse array_sum array_product array_unique array_count_values
array_fill array_fill_keys array_pad array_chunk array_column array_diff
array_diff_key array_diff_assoc array_intersect array_intersect_key
array_replace array_rand range compact extract sort rsort asort arsort ksort
krsort usort uasort uksort natsort natcasesort shuffle array_multisort
current key next prev reset end each is_array is_string is_int is_integer
is_float is_numeric is_bool is_null is_object is_callable is_iterable
is_countable is_resource is_scalar intval floatval boolval strval settype
gettype get_debug_type var_dump var_export print_r serialize unserialize
json_encode json_decode json_last_error json_last_error_msg
abs ceil floor round sqrt pow exp log log10 log2 sin cos tan asin acos atan
atan2 pi fmod intdiv max min rand mt_rand random_int random_bytes mt_srand
srand base_convert bindec decbin dechex hexdec octdec decoct is_nan is_finite
is_infinite
date time mktime gmdate gmmktime strtotime checkdate date_default_timezone_set
date_default_timezone_get microtime hrtime usleep sleep time_nanosleep
date_create date_diff date_add date_format strftime getdate localtime
file_exists is_file is_dir is_link is_readable is_writable is_writeable
is_executable file_get_contents file_put_contents file fopen fclose fread
fwrite fputs fgets fgetc feof fflush fseek ftell rewind ftruncate flock
fgetcsv fputcsv fscanf fstat filesize filemtime fileatime filectime touch
unlink rename copy mkdir rmdir tempnam tmpfile sys_get_temp_dir basename
dirname pathinfo realpath glob scandir opendir readdir closedir rewinddir
chdir getcwd chmod chown chgrp umask stat lstat clearstatcache readfile
fpassthru disk_free_space move_uploaded_file is_uploaded_file
preg_match preg_match_all preg_replace preg_replace_callback preg_split
preg_quote preg_grep preg_last_error
function_exists method_exists property_exists class_exists interface_exists
trait_exists enum_exists get_class get_parent_class get_object_vars
get_class_methods get_class_vars is_a is_subclass_of spl_autoload_register
spl_object_hash spl_object_id iterator_to_array call_user_func
call_user_func_array func_get_args func_num_args func_get_arg
define defined constant ini_get ini_set set_time_limit error_reporting
ini_get_all set_error_handler set_exception_handler restore_error_handler
trigger_error user_error error_log debug_backtrace debug_print_backtrace
assert register_shutdown_function phpversion phpinfo php_uname php_sapi_name
memory_get_usage memory_get_peak_usage gc_collect_cycles getenv putenv
gethostname version_compare extension_loaded get_loaded_extensions
header headers_sent header_remove http_response_code setcookie setrawcookie
session_start session_destroy session_id session_regenerate_id
session_unset session_write_close session_name ob_start ob_get_clean
ob_get_contents ob_end_clean ob_end_flush ob_flush flush ob_get_level
filter_var filter_input filter_has_var mail exec shell_exec system passthru
escapeshellarg escapeshellcmd proc_open proc_close popen pclose
fsockopen stream_context_create stream_get_contents curl_init curl_setopt
curl_setopt_array curl_exec curl_close curl_error curl_errno curl_getinfo
mysqli_connect mysqli_query mysqli_fetch_assoc mysqli_fetch_array
mysqli_real_escape_string mysqli_close mysqli_error mysqli_num_rows
mysqli_insert_id mysqli_prepare
""".split()


def build():
    # ":" is a word character so that "Foo::class" and "self::LIMIT" are
    # single words, not the keyword that starts a class declaration.
    s = Language("php", "PHP", charset=["$", ":"], root="html",
             autopair=["()", "[]", "{}", '""', "''"])

    # Ranges: comments, strings, heredocs. A line comment ends at "?>" as
    # PHP's own does: its context is the one an embedded language always
    # closes in, and none of the code handlers run in it.
    s.range("block comment", open="/*", close="*/", context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("line comment", open="//", close=LINE, context="empty",
            apply_context="preprocessor", style="comment", single_line=True)
    s.range("attribute", open="#[", close=LINE, context="empty",
            apply_context="attribute", style="class", single_line=True)
    s.range("hash comment", open="#", close=LINE, context="empty",
            apply_context="preprocessor", style="comment", single_line=True)
    # Heredocs end at a line that starts with their tag, indented or not.
    s.range("nowdoc", open="<<<'", tag=True, indented_close=True, context="empty",
            apply_context="literal", style="string", unbalanced=True)
    s.range("heredoc quoted", open='<<<"', tag=True, indented_close=True,
            context="empty", apply_context="string", style="string",
            nest_styles=True, unbalanced=True)
    s.range("heredoc", open="<<<", tag=True, indented_close=True, context="empty",
            apply_context="string", style="string", nest_styles=True, unbalanced=True)
    s.range("double string", open='"', close='"', context="empty", apply_context="string",
            style="string", nest_styles=True, unbalanced=True, **{"break": "\\"})
    s.range("single string", open="'", close="'", context="empty", apply_context="literal",
            style="string", unbalanced=True, **{"break": "\\"})
    s.range("shell string", open="`", close="`", context="empty", apply_context="string",
            style="string", nest_styles=True, unbalanced=True, **{"break": "\\"})
    s.range("interpolated expression", open="{$", close="}", context="string",
            apply_context="interpolation", style="variable")

    # Keywords. The word is lower-cased before the lookup, so PHP's
    # case-insensitive names match in any case.
    s.keyword("superglobals", SUPERGLOBALS, style="global-variable", context="empty",
              auto_complete=True, auto_complete_context="empty")
    s.keyword("this", ["$this"], style="instance-variable", context="empty")
    s.keyword("reserved words", CONTROL, style="keyword", context="empty",
              reserved=True, auto_complete=True, auto_complete_context="empty")
    s.keyword("constants", CONSTANTS, style="constant", context="empty",
              auto_complete=True, auto_complete_context="empty")
    s.keyword("built-in functions", FUNCTIONS, style="built-in-function", context="empty",
              auto_complete=True, auto_complete_context="empty")

    # Prefixes. "$" is a word character, so "$name" is one word whose first
    # character names it a variable.
    s.prefix("global variable", prefixes=["global"], context="empty", precedence=10,
             icon="sxGV", style="global-variable", actions=["symbol", "style"])
    s.prefix("variable", prefixes=["$"], context="empty", precedence=30,
             style="variable", actions=["style"])
    s.prefix("interpolated variable", prefixes=["$"], context="string", precedence=40,
             style="variable", actions=["style"])

    # Declarations. Class-like bodies are scopes that end at their balancing
    # brace, so a function inside one is a method of it.
    ident = "([A-Za-z_][A-Za-z0-9_]*)"
    # "use function strlen;" and "use const X;" import names: the statement
    # is read to its end, so its words start no declaration of their own.
    s.expression("import", keywords=["use"], context="empty", line_break=";",
                 expression_gpc="^(use)", token=1)
    # "const LIMIT = 5;" and, typed, "const int LIMIT = 5;".
    s.expression("class constant", keywords=["const"], context="empty", line_break="=",
                 expression_gpc="^const[[:space:]]+([^=[:space:]]+[[:space:]]+)?" + ident +
                 "[[:space:]]*=$", token=2,
                 icon="sxCS", style="constant", actions=SYMBOL)
    # An anonymous class ("new class implements X {") has no name: the word
    # after "class" is then a keyword, and no symbol is made.
    for kw in ["class", "interface", "trait", "enum"]:
        s.expression(kw, keywords=[kw], context="empty", line_break="{",
                     expression_gpc="^%s[[:space:]]+((extends|implements)[[:space:]].*|%s)" % (kw, ident),
                     token=3, icon="sxCL", style="class", actions=SYMBOL + ["scope"],
                     scope_range={"open": "{", "close": "}"})
    # Methods of different classes may share a name ("__construct").
    function = "^function[[:space:]]+&?[[:space:]]*%s[[:space:]]*\\($" % ident
    s.expression("method", keywords=["function"], context="empty", line_break="(",
                 expression_gpc=function, token=1,
                 scopes=["class", "interface", "trait", "enum"], allow_overloading=True,
                 icon="sxMT", style="method", actions=SYMBOL)
    s.expression("function", keywords=["function"], context="empty", line_break="(",
                 expression_gpc=function, token=1,
                 icon="sxFU", style="function", actions=SYMBOL)
    s.expression("defined constant", keywords=["define"], context="empty", line_break=",",
                 expression_gpc="^define[[:space:]]*\\([[:space:]]*['\"]%s['\"]" % ident,
                 token=1, icon="sxCS", style="constant",
                 actions=["symbol", "menu", "navigate", "track"])
    s.expression("include", keywords=["include", "include_once", "require", "require_once"],
                 context="empty", line_break=";",
                 expression_gpc="['\"]([^'\"]*/)?([^/'\"]+)['\"]", token=2,
                 actions=["header"])
    return s
