"""JavaScript, on its own or inside script elements of HTML."""
from builder import Language, CR, LINE, SYMBOL

RESERVED = """break case catch class const continue debugger default delete do else
export extends finally for function if import in instanceof let new return
super switch this throw try typeof var void while with yield async await of
static get set enum implements interface package private protected public
from as""".split()

CONSTANTS = "true false null undefined NaN Infinity".split()

GLOBALS = """Object Array String Number Boolean Symbol BigInt Function Date RegExp
Error TypeError RangeError SyntaxError ReferenceError EvalError URIError
AggregateError Math JSON Promise Proxy Reflect Map Set WeakMap WeakSet WeakRef
FinalizationRegistry ArrayBuffer SharedArrayBuffer DataView Atomics Int8Array
Uint8Array Uint8ClampedArray Int16Array Uint16Array Int32Array Uint32Array
Float32Array Float64Array BigInt64Array BigUint64Array Intl globalThis
parseInt parseFloat isNaN isFinite encodeURI encodeURIComponent decodeURI
decodeURIComponent escape unescape eval setTimeout clearTimeout setInterval
clearInterval setImmediate requestAnimationFrame cancelAnimationFrame
queueMicrotask structuredClone fetch console window document navigator
location history screen localStorage sessionStorage indexedDB alert confirm
prompt XMLHttpRequest Event CustomEvent EventTarget Element HTMLElement Node
NodeList MutationObserver IntersectionObserver ResizeObserver FormData URL
URLSearchParams Headers Request Response AbortController Blob File FileReader
Worker WebSocket Image Audio TextEncoder TextDecoder crypto performance
arguments require module exports process Buffer __dirname __filename""".split()


# Words after which a slash starts a literal.
OPERAND_WORDS = """return typeof case do else in of new delete void throw instanceof
yield await""".split()


def build():
    # "$" is left out of the word characters so that "${" can open inside
    # a template string; the regular expressions still accept it in names.
    s = Language("javascript", "JavaScript",
             autopair=["()", "[]", "{}", '""', "''", "``"])

    s.range("block comment", open="/*", close="*/", context="empty",
            apply_context="comment", style="comment", unbalanced=True)
    s.range("line comment", open="//", close=LINE, context="empty",
            apply_context="comment", style="comment", single_line=True)
    # Quoted strings cannot run over a line end.
    s.range("double string", open='"', close='"', context="empty", apply_context="string",
            style="string", single_line=True, **{"break": "\\"})
    s.range("single string", open="'", close="'", context="empty", apply_context="string",
            style="string", single_line=True, **{"break": "\\"})
    s.range("template string", open="`", close="`", context="empty",
            apply_context="template", style="string", nest_styles=True,
            unbalanced=True, **{"break": "\\"})
    # A slash where an operand is expected starts a literal; after a name, a
    # number, ")" or "]" it divides. Inside a class "[...]" a slash is text.
    s.range("regular expression", open="/", close="/", context="empty",
            apply_context="regex", style="string", single_line=True, operand=True,
            operand_words=OPERAND_WORDS, **{"break": "\\"})
    s.range("regular expression class", open="[", close="]", context="regex",
            apply_context="regex class", style="string", single_line=True,
            **{"break": "\\"})
    # The code inside "${...}" is code again: its braces, strings, literals
    # and templates nest.
    s.range("template expression", open="${", close="}", context="template",
            apply_context="interpolation", style="variable", balanced=True)
    s.range_in("interpolation", ["block comment", "line comment", "double string",
                                 "single string", "template string",
                                 "regular expression"], "inside")

    s.keyword("reserved words", RESERVED, style="keyword", context="empty",
              reserved=True, auto_complete=True, auto_complete_context="empty")
    s.keyword("constants", CONSTANTS, style="constant", context="empty",
              auto_complete=True, auto_complete_context="empty")
    s.keyword("globals", GLOBALS, style="built-in-function", context="empty",
              auto_complete=True, auto_complete_context="empty")

    s.prefix("declared variable", prefixes=["var", "let", "const"], context="empty",
             precedence=10, style="variable", actions=["style"])

    ident = "([A-Za-z_$][A-Za-z0-9_$]*)"
    s.expression("class", keywords=["class"], context="empty", line_break="{",
                 expression_gpc="^class[[:space:]]+" + ident, token=1,
                 icon="sxCL", style="class", actions=SYMBOL + ["scope"],
                 scope_range={"open": "{", "close": "}"})
    # A method is a line directly in a class body that names it before its
    # parameters: "render() {", "static async load(id) {", "get size() {".
    s.prefix("method", prefixes=[CR], context="empty", precedence=20, line_break=LINE,
             expression="^\\s*((static|async|get|set)\\s+)*[*#]?(\\w+)\\s*\\(", token=3,
             scopes=["class"], scope_body=True, allow_overloading=True,
             icon="sxMT", style="method", actions=SYMBOL)
    s.expression("function", keywords=["function"], context="empty", line_break="(",
                 expression_gpc="^function[[:space:]]*\\*?[[:space:]]*" + ident, token=1,
                 icon="sxFU", style="function", actions=SYMBOL)
    # const name = function ... / const name = (...) => / const name = x =>
    s.expression("function variable", keywords=["var", "let", "const"], context="empty",
                 line_break=LINE, also_break=";",
                 expression_gpc="^(var|let|const)[[:space:]]+" + ident +
                 "[[:space:]]*=[[:space:]]*(async[[:space:]]*)?"
                 "(function|\\([^)]*\\)[[:space:]]*=>|[A-Za-z_$][A-Za-z0-9_$]*[[:space:]]*=>)",
                 token=2, icon="sxFU", style="function", actions=SYMBOL)
    # Any other "const name = ..." outside a class ("export const" alike):
    # the name keeps its colour.
    s.expression("constant", keywords=["const"], context="empty",
                 line_break=LINE, also_break=";",
                 expression_gpc="^const[[:space:]]+" + ident + "[[:space:]]*=([^=]|$)",
                 token=1, scopes=["root"], icon="sxCS",
                 actions=["symbol", "menu", "navigate", "track"])
    # A statement ends at its line or at a ";" before it (minified code).
    s.expression("import", keywords=["import"], context="empty", line_break=LINE, also_break=";",
                 expression_gpc="['\"]([^'\"]*/)?([^/'\"]+)['\"]", token=2,
                 actions=["header"])
    return s
